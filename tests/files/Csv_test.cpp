// The CSV export: exact bytes through a buffer, read-back with a strict reader, the window
// hook, and failures that keep the earlier file.

#include "Csv.h"

#include "CsvReader.h"
#include "QtPrinters.h"
#include "WriteFailures.h"

#include <QBuffer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Rows held as plain strings, as the row store would hand them out.
class TableRows : public kest::CsvRows {
public:
    explicit TableRows(std::vector<CsvRecord> rows) : rows_(std::move(rows)) {}
    int64_t rowCount() const override { return int64_t(rows_.size()); }
    int columnCount(int64_t row) const override { return int(rows_[size_t(row)].size()); }
    std::string_view cell(int64_t row, int column) const override { return rows_[size_t(row)][size_t(column)]; }

private:
    std::vector<CsvRecord> rows_;
};

QByteArray csvOf(const std::vector<CsvRecord> &rows)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(kest::WriteCsv(buffer, TableRows(rows)));
    return buffer.data();
}

// Cells that a careless writer gets wrong.
const std::vector<CsvRecord> Awkward = {
    {"plain", "with,comma", "say \"hi\"", ""},
    {"\"", "\"\"", "\"starts", "ends\""},
    {"line\r\nbreak", "lf\nonly", "cr\ronly", " padded "},
    {"Mot\xC3\xB6rhead", "\xE6\x9D\xB1\xE4\xBA\xAC", "=1+1", "United Abominations "},
};

} // namespace

TEST(Csv, QuotesEveryCellAndEndsEveryLineWithCrLf)
{
    EXPECT_EQ(csvOf({{"1", "Puddle of Mudd"}, {"2", "Frank Zappa"}}),
              "\"1\",\"Puddle of Mudd\"\r\n\"2\",\"Frank Zappa\"\r\n");
}

TEST(Csv, DoublesEmbeddedQuotesAndKeepsCommas)
{
    EXPECT_EQ(csvOf({{"say \"hi\"", "a,b", "\""}}), "\"say \"\"hi\"\"\",\"a,b\",\"\"\"\"\r\n");
}

TEST(Csv, WritesEmptyCellsAsTwoQuotes)
{
    EXPECT_EQ(csvOf({{"", "x", ""}, {""}}), "\"\",\"x\",\"\"\r\n\"\"\r\n");
}

TEST(Csv, OneColumnGivesOneQuotedCellALine)
{
    EXPECT_EQ(csvOf({{"a"}, {"b"}, {"c"}}), "\"a\"\r\n\"b\"\r\n\"c\"\r\n");
}

TEST(Csv, RowsOfDifferentWidthsAreWrittenWhole)
{
    EXPECT_EQ(csvOf({{"a", "b"}, {"c", "d", "e", "f"}, {"g"}}),
              "\"a\",\"b\"\r\n\"c\",\"d\",\"e\",\"f\"\r\n\"g\"\r\n");
}

TEST(Csv, WritesUtf8BytesUnchangedWithoutByteOrderMark)
{
    EXPECT_EQ(csvOf({{"Mot\xC3\xB6rhead", "\xE6\x9D\xB1\xE4\xBA\xAC"}}),
              "\"Mot\xC3\xB6rhead\",\"\xE6\x9D\xB1\xE4\xBA\xAC\"\r\n");
}

TEST(Csv, NoRowsGiveAnEmptyFile)
{
    EXPECT_TRUE(csvOf({}).isEmpty());
}

TEST(Csv, ReadsBackExactly)
{
    EXPECT_EQ(ReadCsv(csvOf(Awkward)), Awkward);
}

TEST(Csv, LargeOutputReadsBackExactly)
{
    // More than one output block, quoted cells shorter and longer than the writer's short cells,
    // and one cell larger than a block.
    std::vector<CsvRecord> rows;
    for (int i = 0; i < 30000; ++i)
        rows.push_back({std::to_string(i), "Title \"" + std::to_string(i * 7) + "\", part" + std::string(size_t(i % 40), 'y'),
                        std::string(size_t(i % 50), 'x')});
    rows.push_back({std::string(3'000'000, '"'), "after"});
    rows.push_back({"last"});
    const QByteArray csv = csvOf(rows);
    EXPECT_EQ(csv.count("\r\n"), 30002);
    EXPECT_EQ(ReadCsv(csv), rows);
}

TEST(Csv, LetsWindowMessagesRunEveryNRowsNotPerRow)
{
    std::vector<CsvRecord> rows(10, CsvRecord{"x"});
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    int calls = 0;
    ASSERT_TRUE(kest::WriteCsv(buffer, TableRows(rows), [&] { ++calls; }, 4));
    EXPECT_EQ(calls, 2); // after rows 4 and 8
    calls = 0;
    ASSERT_TRUE(kest::WriteCsv(buffer, TableRows(std::vector<CsvRecord>(10000, CsvRecord{"x"})), [&] { ++calls; }));
    EXPECT_EQ(calls, int(10000 / kest::DefaultRowsBetweenMessages));
    EXPECT_GT(calls, 0);
}

TEST(Csv, StopsAtTheFirstFailedWrite)
{
    std::vector<CsvRecord> rows(100000, CsvRecord{"some text", "more text"});
    FullDevice device(5000);
    int calls = 0;
    EXPECT_FALSE(kest::WriteCsv(device, TableRows(rows), [&] { ++calls; }, 1));
    EXPECT_LE(device.written.size(), 5000);
    EXPECT_LT(calls, 100000); // gave up instead of formatting every row
}

TEST(Csv, FailsOnADeviceNotOpenForWriting)
{
    QBuffer closed;
    EXPECT_FALSE(kest::WriteCsv(closed, TableRows({{"a"}})));
}

namespace {

class SaveCsvTest : public ::testing::Test {
protected:
    QString path(const QString &name) const { return dir_.filePath(name); }
    QString folder() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
};

} // namespace

TEST_F(SaveCsvTest, WritesTheSameBytesAsTheWriterAndReplacesTheEarlierFile)
{
    const QString target = path(QStringLiteral("Kestrune-output.csv"));
    ASSERT_TRUE(writeBytes(target, QByteArray(100000, 'o')));
    ASSERT_TRUE(kest::SaveCSV(target, TableRows(Awkward)));
    EXPECT_EQ(fileBytes(target), csvOf(Awkward));
    EXPECT_EQ(entriesOf(folder()), QStringList{"Kestrune-output.csv"});
}

TEST_F(SaveCsvTest, PassesTheWindowHookOn)
{
    int calls = 0;
    ASSERT_TRUE(kest::SaveCSV(path(QStringLiteral("hooked.csv")), TableRows(std::vector<CsvRecord>(9, {"x"})),
                              [&] { ++calls; }, 3));
    EXPECT_EQ(calls, 3);
}

TEST_F(SaveCsvTest, FailedWriteKeepsTheEarlierFileByteForByte)
{
    const QString target = path(QStringLiteral("Kestrune-output.csv"));
    const QByteArray earlier = "\"earlier\",\"export\"\r\n";
    ASSERT_TRUE(writeBytes(target, earlier));
    const TableRows many(std::vector<CsvRecord>(50000, CsvRecord{"some text", "more text"}));
    {
        FileSizeLimit diskFull(64 * 1024);
        ASSERT_TRUE(diskFull.active());
        EXPECT_FALSE(kest::SaveCSV(target, many));
    }
    EXPECT_EQ(fileBytes(target), earlier);
    EXPECT_EQ(entriesOf(folder()), QStringList{"Kestrune-output.csv"});
}

TEST_F(SaveCsvTest, FailsWhereNoFileCanBeWritten)
{
    const QString notAFolder = path(QStringLiteral("plain-file"));
    ASSERT_TRUE(writeBytes(notAFolder, "not a folder"));
    EXPECT_FALSE(kest::SaveCSV(notAFolder + QStringLiteral("/Kestrune-output.csv"), TableRows(Awkward)));
    const QString folderTarget = path(QStringLiteral("Kestrune-output.csv"));
    ASSERT_TRUE(QDir().mkdir(folderTarget));
    EXPECT_FALSE(kest::SaveCSV(folderTarget, TableRows(Awkward)));
    EXPECT_TRUE(QFileInfo(folderTarget).isDir());
    EXPECT_EQ(fileBytes(notAFolder), "not a folder");
    EXPECT_EQ(entriesOf(folder()), (QStringList{"Kestrune-output.csv", "plain-file"}));
}
