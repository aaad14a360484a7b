#include "QueryTiming.h"

#include <gtest/gtest.h>

#include <limits>

using namespace kest;

namespace {
const QLocale English(QLocale::English, QLocale::UnitedStates);
const QLocale German(QLocale::German, QLocale::Germany);
} // namespace

TEST(QueryTiming, SecondsHaveThreeDecimalsAndNoGroups)
{
    EXPECT_EQ(FormatSeconds(0.35f, English), QStringLiteral("0.350"));
    EXPECT_EQ(FormatSeconds(0.0f, English), QStringLiteral("0.000"));
    EXPECT_EQ(FormatSeconds(1234.5f, English), QStringLiteral("1234.500"));
    EXPECT_EQ(FormatSeconds(0.0004f, English), QStringLiteral("0.000"));
    EXPECT_EQ(FormatSeconds(0.0006f, English), QStringLiteral("0.001"));
    EXPECT_EQ(FormatSeconds(1234.5f, German), QStringLiteral("1234,500"));
}

TEST(QueryTiming, TimesNotAboveZeroShowAsZero)
{
    EXPECT_EQ(FormatSeconds(-3.2f, English), QStringLiteral("0.000"));
    EXPECT_EQ(FormatSeconds(-0.0f, English), QStringLiteral("0.000"));
    EXPECT_EQ(FormatSeconds(std::numeric_limits<float>::quiet_NaN(), English), QStringLiteral("0.000"));
}

TEST(QueryTiming, RowCountsAreGroupedInTheUsersLocale)
{
    EXPECT_EQ(FormatRowCount(0, English), QStringLiteral("0"));
    EXPECT_EQ(FormatRowCount(999, English), QStringLiteral("999"));
    EXPECT_EQ(FormatRowCount(1234, English), QStringLiteral("1,234"));
    EXPECT_EQ(FormatRowCount(1082016, English), QStringLiteral("1,082,016"));
    EXPECT_EQ(FormatRowCount(1082016, German), QStringLiteral("1.082.016"));
    // A locale that asks for no groups still gets them: the pattern groups digits.
    QLocale plain = English;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    EXPECT_EQ(FormatRowCount(5304, plain), QStringLiteral("5,304"));
}

TEST(QueryTiming, StatusCodeWithMessageOrOk)
{
    EXPECT_EQ(StatusCodeAndMessage(0, QString()), QStringLiteral(" - Status code: 0 (OK)"));
    EXPECT_EQ(StatusCodeAndMessage(9, QStringLiteral("User cancelled")), QStringLiteral(" - Status code: 9 (User cancelled)"));
    EXPECT_EQ(StatusCodeAndMessage(-1, QStringLiteral("14")), QStringLiteral(" - Status code: -1 (14)"));
}
