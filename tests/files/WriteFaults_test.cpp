// Faults of the real file system while exporting CSV and saving scripts: a device that is
// always full, a file system that runs out of space, and a folder in which no file may be
// created. Each save must report failure and leave the earlier file byte for byte as it was.
// (A size limit, a parent that is a file and a target that is a folder are in Csv_test.cpp and
// SaveFile_test.cpp.)

#include "Csv.h"
#include "Scripts.h"

#include "CsvReader.h"
#include "QtPrinters.h"
#include "WriteFailures.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

namespace {

class Rows : public kest::CsvRows {
public:
    Rows(int64_t rows, std::string cell) : rows_(rows), cell_(std::move(cell)) {}
    int64_t rowCount() const override { return rows_; }
    int columnCount(int64_t) const override { return 3; }
    std::string_view cell(int64_t, int) const override { return cell_; }

private:
    int64_t rows_;
    std::string cell_;
};

const QByteArray EarlierCsv = "\"earlier\",\"export\"\r\n";
const QByteArray EarlierScript = "SELECT 'earlier';\r\n";

} // namespace

TEST(WriteFaults, CsvWriterReportsTheAlwaysFullDevice)
{
    // Unbuffered, the first block fails; buffered, a result larger than Qt's buffer fails too.
    QFile unbuffered(QStringLiteral("/dev/full"));
    ASSERT_TRUE(unbuffered.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    EXPECT_FALSE(kest::WriteCsv(unbuffered, Rows(3, "x")));

    QFile buffered(QStringLiteral("/dev/full"));
    ASSERT_TRUE(buffered.open(QIODevice::WriteOnly));
    EXPECT_FALSE(kest::WriteCsv(buffered, Rows(100000, "some text")));
}

TEST(WriteFaults, SavesIntoAFullFileSystemFailAndKeepTheEarlierFiles)
{
    QTemporaryDir dir;
    SmallFileSystem disk(dir.path(), 64);
    if (!disk.mounted())
        GTEST_SKIP() << "cannot mount a small tmpfs here: " << disk.error().toStdString();
    const QString csv = dir.filePath(QStringLiteral("Kestrune-output.csv"));
    const QString script = dir.filePath(QStringLiteral("Kestrune-saved.sql"));
    ASSERT_TRUE(writeBytes(csv, EarlierCsv));
    ASSERT_TRUE(writeBytes(script, EarlierScript));

    EXPECT_FALSE(kest::SaveCSV(csv, Rows(20000, "some text")));
    EXPECT_FALSE(kest::SaveFile(script, QStringLiteral("SELECT 1;\n").repeated(20000)));
    EXPECT_EQ(fileBytes(csv), EarlierCsv);
    EXPECT_EQ(fileBytes(script), EarlierScript);
    EXPECT_EQ(entriesOf(dir.path()), (QStringList{"Kestrune-output.csv", "Kestrune-saved.sql"}));

    // The same saves, small enough, go through on the same disk: it was the space.
    EXPECT_TRUE(kest::SaveCSV(csv, Rows(2, "some text")));
    EXPECT_TRUE(kest::SaveFile(script, QStringLiteral("SELECT 2;")));
    EXPECT_EQ(fileBytes(csv), QByteArray("\"some text\",\"some text\",\"some text\"\r\n").repeated(2));
    EXPECT_EQ(fileBytes(script), "SELECT 2;\r\n");
}

TEST(WriteFaults, ANewFileThatFitsOnlyInPlaceOfTheOldOneFailsAndKeepsTheOld)
{
    // The new file is written beside the old one and only then replaces it, so for a moment
    // both need room. Writing in place would fit, and would lose the old file when it did not.
    QTemporaryDir dir;
    SmallFileSystem disk(dir.path(), 64);
    if (!disk.mounted())
        GTEST_SKIP() << "cannot mount a small tmpfs here: " << disk.error().toStdString();
    const QString csv = dir.filePath(QStringLiteral("Kestrune-output.csv"));
    const QByteArray earlier(40 * 1024, 'e');
    ASSERT_TRUE(writeBytes(csv, earlier));
    const Rows rows(800, "0123456789"); // 800 lines of 40 bytes: 32000 bytes
    EXPECT_FALSE(kest::SaveCSV(csv, rows));
    EXPECT_EQ(fileBytes(csv), earlier);
    EXPECT_EQ(entriesOf(dir.path()), QStringList{"Kestrune-output.csv"});
}

TEST(WriteFaults, SavesIntoAFolderWhereNoFileCanBeCreatedFailAndKeepTheEarlierFiles)
{
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("Kestrune-output.csv"));
    const QString script = dir.filePath(QStringLiteral("Kestrune-saved.sql"));
    ASSERT_TRUE(writeBytes(csv, EarlierCsv));
    ASSERT_TRUE(writeBytes(script, EarlierScript));
    {
        UnwritableFolder locked(dir.path());
        if (!locked.done())
            GTEST_SKIP() << "cannot make the folder unwritable here: " << locked.error().toStdString();
        EXPECT_FALSE(kest::SaveCSV(csv, Rows(10, "x")));
        EXPECT_FALSE(kest::SaveFile(script, QStringLiteral("SELECT 1;")));
    }
    EXPECT_EQ(fileBytes(csv), EarlierCsv);
    EXPECT_EQ(fileBytes(script), EarlierScript);
    EXPECT_EQ(entriesOf(dir.path()), (QStringList{"Kestrune-output.csv", "Kestrune-saved.sql"}));
}
