// Saving a script: the bytes written, replacing an earlier save, and failures that keep the
// earlier file.

#include "Scripts.h"

#include "QtPrinters.h"
#include "WriteFailures.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class SaveFileTest : public ::testing::Test {
protected:
    QString path(const QString &name) const { return dir_.filePath(name); }
    QString folder() const { return dir_.path(); }

    // The bytes that a save of `text` leaves in a new file.
    QByteArray saved(const QString &text)
    {
        const QString target = path(QStringLiteral("out%1.sql").arg(++files_));
        EXPECT_TRUE(kest::SaveFile(target, text));
        return fileBytes(target);
    }

private:
    QTemporaryDir dir_;
    int files_ = 0;
};

} // namespace

TEST_F(SaveFileTest, WritesTheLinesWithCrLfAndOneMoreCrLf)
{
    EXPECT_EQ(saved(QStringLiteral("SELECT 1;\nSELECT 2;")), "SELECT 1;\r\nSELECT 2;\r\n");
}

TEST_F(SaveFileTest, EveryLineEndBecomesOneCrLf)
{
    EXPECT_EQ(saved(QStringLiteral("a\r\nb\rc\n\nd\r\n")), "a\r\nb\r\nc\r\n\r\nd\r\n\r\n");
}

TEST_F(SaveFileTest, BlanksAndLineBreaksAloneAreSavedLikeAnyText)
{
    EXPECT_EQ(saved(QStringLiteral("  \n\n")), "  \r\n\r\n\r\n");
    EXPECT_EQ(saved(QString()), "\r\n");
}

TEST_F(SaveFileTest, WritesUtf8)
{
    EXPECT_EQ(saved(QStringLiteral("SELECT 'Motörhead', '東京'")),
              "SELECT 'Mot\xC3\xB6rhead', '\xE6\x9D\xB1\xE4\xBA\xAC'\r\n");
}

TEST_F(SaveFileTest, SavingTwiceKeepsOnlyTheLastText)
{
    const QString target = path(QStringLiteral("Kestrune-saved.sql"));
    ASSERT_TRUE(kest::SaveFile(target, QStringLiteral("SELECT 'a much longer first text';\nSELECT 2;")));
    ASSERT_TRUE(kest::SaveFile(target, QStringLiteral("SELECT 3;")));
    EXPECT_EQ(fileBytes(target), "SELECT 3;\r\n");
    EXPECT_EQ(entriesOf(folder()), QStringList{"Kestrune-saved.sql"});
}

TEST_F(SaveFileTest, FailsInAFolderThatCannotExist)
{
    const QString notAFolder = path(QStringLiteral("plain-file"));
    ASSERT_TRUE(writeBytes(notAFolder, "not a folder"));
    EXPECT_FALSE(kest::SaveFile(notAFolder + QStringLiteral("/Kestrune-saved.sql"), QStringLiteral("SELECT 1;")));
    EXPECT_FALSE(kest::SaveFile(path(QStringLiteral("missing/Kestrune-saved.sql")), QStringLiteral("SELECT 1;")));
    EXPECT_EQ(fileBytes(notAFolder), "not a folder");
    EXPECT_EQ(entriesOf(folder()), QStringList{"plain-file"});
}

TEST_F(SaveFileTest, FailsWhenTheTargetIsAFolderAndLeavesItAlone)
{
    const QString target = path(QStringLiteral("Kestrune-saved.sql"));
    ASSERT_TRUE(QDir().mkdir(target));
    ASSERT_TRUE(writeBytes(target + QStringLiteral("/inside.txt"), "kept"));
    EXPECT_FALSE(kest::SaveFile(target, QStringLiteral("SELECT 1;")));
    EXPECT_TRUE(QFileInfo(target).isDir());
    EXPECT_EQ(fileBytes(target + QStringLiteral("/inside.txt")), "kept");
    EXPECT_EQ(entriesOf(folder()), QStringList{"Kestrune-saved.sql"});
}

TEST_F(SaveFileTest, FailedWriteKeepsTheEarlierFileByteForByte)
{
    const QString target = path(QStringLiteral("Kestrune-saved.sql"));
    const QByteArray earlier = "SELECT 'earlier';\r\n";
    ASSERT_TRUE(writeBytes(target, earlier));
    const QString large = QString(QStringLiteral("SELECT 1;\n")).repeated(2000);
    {
        FileSizeLimit diskFull(1024);
        ASSERT_TRUE(diskFull.active());
        EXPECT_FALSE(kest::SaveFile(target, large));
    }
    EXPECT_EQ(fileBytes(target), earlier);
    EXPECT_EQ(entriesOf(folder()), QStringList{"Kestrune-saved.sql"});
    // The same text saves once there is room again.
    EXPECT_TRUE(kest::SaveFile(target, large));
    EXPECT_EQ(fileBytes(target).size(), 2000 * 11 + 2);
}

// A short text sits in the file's buffer until the last flush, where the disk runs full.
TEST_F(SaveFileTest, DiskFullAtTheLastFlushKeepsTheEarlierFile)
{
    const QString target = path(QStringLiteral("Kestrune-saved.sql"));
    const QByteArray earlier = "SELECT 'earlier';\r\n";
    ASSERT_TRUE(writeBytes(target, earlier));
    {
        FileSizeLimit diskFull(16);
        ASSERT_TRUE(diskFull.active());
        EXPECT_FALSE(kest::SaveFile(target, QString(100, u'x')));
    }
    EXPECT_EQ(fileBytes(target), earlier);
    EXPECT_EQ(entriesOf(folder()), QStringList{"Kestrune-saved.sql"});
}
