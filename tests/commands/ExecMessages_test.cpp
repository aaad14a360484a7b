#include "Exec.h"

#include <gtest/gtest.h>

using namespace kest;

TEST(ExecMessages, FileLengthInMegabytesWithTwoDecimalsAndGroups)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(CsvWrittenMessage(52429, english), QStringLiteral("Length of the saved file was 0.05 Mb"));
    EXPECT_EQ(CsvWrittenMessage(1, english), QStringLiteral("Length of the saved file was 0.00 Mb"));
    EXPECT_EQ(CsvWrittenMessage(1500000000, english), QStringLiteral("Length of the saved file was 1,430.51 Mb"));
    EXPECT_EQ(CsvWrittenMessage(1500000000, QLocale(QLocale::German, QLocale::Germany)),
              QStringLiteral("Length of the saved file was 1.430,51 Mb"));
}

TEST(ExecMessages, QuestionAndFailureNameThePath)
{
    const QString path = QStringLiteral("/opt/demo/Kestrune-output.csv");
    EXPECT_TRUE(CsvQuestion(path).endsWith(QStringLiteral("CSV format to: \r\n\r\n/opt/demo/Kestrune-output.csv")));
    EXPECT_EQ(CsvFailedMessage(path), QStringLiteral("Failed to save:\r\n\r\n/opt/demo/Kestrune-output.csv"));
}
