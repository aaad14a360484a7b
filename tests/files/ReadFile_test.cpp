// Loading a script: which lines are kept, how they are trimmed, and where lines end.

#include "Scripts.h"

#include "QtPrinters.h"
#include "WriteFailures.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class ReadFileTest : public ::testing::Test {
protected:
    // Writes `bytes` to a new file and reads it back as a script.
    QString load(const QByteArray &bytes)
    {
        const QString path = dir_.filePath(QStringLiteral("script%1.sql").arg(++files_));
        EXPECT_TRUE(writeBytes(path, bytes));
        return kest::ReadFile(path);
    }

    QString path(const QString &name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
    int files_ = 0;
};

} // namespace

TEST_F(ReadFileTest, SixLineExampleKeepsTwoLines)
{
    EXPECT_EQ(load("REM create tables\r\n  rem second comment\r\nREM\r\nREMARK x\r\n\r\nSELECT 1;\r\n"),
              "REMARK x\r\nSELECT 1;\r\n");
}

TEST_F(ReadFileTest, RemIsDroppedInAnyCaseAlsoAfterBlanks)
{
    EXPECT_EQ(load("Rem one\r\nrEM\r\n   REM   \r\n   rem two\r\nSELECT 2;"), "SELECT 2;\r\n");
}

TEST_F(ReadFileTest, RemNotFollowedByABlankIsKept)
{
    EXPECT_EQ(load("REM\tx\r\nREMOVE\r\nREM-x\r\n"), "REM\tx\r\nREMOVE\r\nREM-x\r\n");
}

TEST_F(ReadFileTest, TabBeforeRemKeepsTheLineWithItsTab)
{
    EXPECT_EQ(load("\tREM x\r\n"), "\tREM x\r\n");
}

TEST_F(ReadFileTest, TrimsBlanksOnlyAtBothEnds)
{
    EXPECT_EQ(load("   SELECT  1 ;   \r\n\tSELECT 2;\t\r\n  \t  \r\n"),
              "SELECT  1 ;\r\n\tSELECT 2;\t\r\n\t\r\n");
}

TEST_F(ReadFileTest, OtherCommentsStayAsTheyAre)
{
    EXPECT_EQ(load("-- a comment\r\nSELECT 1; -- trailing\r\n/* block */\r\n"),
              "-- a comment\r\nSELECT 1; -- trailing\r\n/* block */\r\n");
}

TEST_F(ReadFileTest, FileOfOnlyCommentsAndBlankLinesGivesEmptyText)
{
    EXPECT_TRUE(load("REM one\r\n\r\n   \r\nrem two\r\nREM").isEmpty());
}

TEST_F(ReadFileTest, LinesEndAtCrLfCrOrLf)
{
    const QString expected = QStringLiteral("SELECT 1;\r\nREMARK\r\nSELECT 2;\r\n");
    EXPECT_EQ(load("SELECT 1;\r\nREM x\r\nREMARK\r\n\r\nSELECT 2;\r\n"), expected);
    EXPECT_EQ(load("SELECT 1;\rREM x\rREMARK\r\rSELECT 2;\r"), expected);
    EXPECT_EQ(load("SELECT 1;\nREM x\nREMARK\n\nSELECT 2;\n"), expected);
    EXPECT_EQ(load("SELECT 1;\nREM x\r\nREMARK\r\n\rSELECT 2;"), expected);
}

TEST_F(ReadFileTest, LastLineNeedsNoLineEnd)
{
    EXPECT_EQ(load("SELECT 1;\r\nSELECT 2;"), "SELECT 1;\r\nSELECT 2;\r\n");
    EXPECT_EQ(load("SELECT 3;   "), "SELECT 3;\r\n");
}

TEST_F(ReadFileTest, ReadsUtf8AndSkipsAByteOrderMark)
{
    EXPECT_EQ(load("\xEF\xBB\xBFREM made by an editor\r\nSELECT 'Mot\xC3\xB6rhead', '\xE6\x9D\xB1\xE4\xBA\xAC';\r\n"),
              QStringLiteral("SELECT 'Motörhead', '東京';\r\n"));
}

TEST_F(ReadFileTest, AByteOrderMarkInsideTheFileIsKeptAsACharacter)
{
    // Found by fuzz_script_reader: converting each line on its own dropped a mark at the start of
    // any line, so a line that the filter had kept came out as a REM line or with leading blanks.
    EXPECT_EQ(load("SELECT 1;\r\n\xEF\xBB\xBFREM second file\r\n\xEF\xBB\xBF  x\n\xEF\xBB\xBF"),
              QStringLiteral("SELECT 1;\r\n\uFEFFREM second file\r\n\uFEFF  x\r\n\uFEFF\r\n"));
}

TEST_F(ReadFileTest, LongLinesAcrossReadBlocksStayWhole)
{
    const QByteArray longLine = "SELECT '" + QByteArray(200000, 'x') + "';";
    const QString result = load("REM long\r\n" + longLine + "\r\nSELECT 2;");
    EXPECT_EQ(result, QString::fromLatin1(longLine) + "\r\nSELECT 2;\r\n");
}

TEST_F(ReadFileTest, ManyLinesAcrossReadBlocksAreAllKept)
{
    QByteArray script;
    QString expected;
    for (int i = 0; i < 20000; ++i) {
        const QByteArray line = "SELECT " + QByteArray::number(i) + ";";
        script += line + (i % 3 == 0 ? "\r\n" : i % 3 == 1 ? "\n" : "\r") + "REM " + QByteArray::number(i) + "\r\n";
        expected += QString::fromLatin1(line) + "\r\n";
    }
    EXPECT_EQ(load(script), expected);
}

TEST_F(ReadFileTest, MissingEmptyOrUnreadableFileGivesEmptyText)
{
    EXPECT_TRUE(kest::ReadFile(path(QStringLiteral("missing.sql"))).isEmpty());
    EXPECT_TRUE(kest::ReadFile(QString()).isEmpty());
    EXPECT_TRUE(load(QByteArray()).isEmpty());
    EXPECT_TRUE(kest::ReadFile(path(QString())).isEmpty()); // the folder itself
}

TEST_F(ReadFileTest, SavedScriptComesBackWithoutBlankAndRemLines)
{
    const QString saved = path(QStringLiteral("saved.sql"));
    ASSERT_TRUE(kest::SaveFile(saved, QStringLiteral("REM setup\n  SELECT 1;  \n\n   \nrem x\n\tSELECT 2;")));
    EXPECT_EQ(kest::ReadFile(saved), "SELECT 1;\r\n\tSELECT 2;\r\n");
}
