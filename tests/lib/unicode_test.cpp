#include "lib_test_support.h"

#include <gtest/gtest.h>

using namespace kest::test;

namespace {

// Runs each test in both settings of the Unicode conversion and restores the default.
class Unicode : public ::testing::TestWithParam<int32_t> {
protected:
    void SetUp() override
    {
        previous = kest_SetUnicodeConversion(GetParam());
        ASSERT_EQ(db.open_status(), KEST_OK);
    }
    void TearDown() override { kest_SetUnicodeConversion(previous); }
    Db db;
    int32_t previous = 0;
};

const std::string kNames[] = {"Motörhead", "東京", "😀"};

} // namespace

TEST_P(Unicode, NonAsciiTextRoundTripsThroughTheUtf16TableQuery)
{
    kest_table *raw = nullptr;
    char *err = nullptr;
    int16_t status = -1;
    EXPECT_EQ(kest_sqlite_get_table_unicode(&raw, db.handle(), u"SELECT 'Motörhead' AS \"ö\", '東京', '😀'", &err, &status),
              KEST_OK);
    Table table(raw);
    Text error(err);
    EXPECT_EQ(status, KEST_OK);
    EXPECT_EQ(err, nullptr);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(kest_sqlite_query_rowcount(), 1);
    EXPECT_STREQ(KEST_CELL(table.get(), 0, 0), "ö");
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(KEST_CELL(table.get(), c, 1), kNames[c]);
}

TEST_P(Unicode, NonAsciiTextRoundTripsThroughTheUtf16Exec)
{
    ExecCollector collector;
    char *err = nullptr;
    EXPECT_EQ(kest_sqlite_exec_unicode(db.handle(), u"SELECT 'Motörhead', '東京', '😀'; SELECT '😀'", collect_row, &collector,
                                       &err),
              KEST_OK);
    Text error(err);
    ASSERT_EQ(collector.rows.size(), 2u);
    EXPECT_EQ(collector.rows[0].values, std::vector<std::string>(std::begin(kNames), std::end(kNames)));
    EXPECT_EQ(collector.rows[1].number, 2);
    EXPECT_EQ(kest_sqlite_exec_rowcount(), 2);
}

TEST_P(Unicode, EightBitFunctionsAreUnaffected)
{
    ASSERT_EQ(get_table(db.handle(), "CREATE TABLE a(n TEXT); INSERT INTO a VALUES('Motörhead'),('東京'),('😀')").status,
              KEST_OK);
    TableResult r = get_table(db.handle(), "SELECT n FROM a ORDER BY rowid");
    ASSERT_EQ(r.rows, 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(r.cell(0, i + 1), kNames[i]);
    ExecResult e = exec(db.handle(), "SELECT n FROM a WHERE n = '東京'");
    ASSERT_EQ(e.rows.size(), 1u);
    EXPECT_EQ(e.rows[0].values[0], "東京");
}

TEST_P(Unicode, Utf16ErrorTextsAreUtf8)
{
    kest_table *raw = nullptr;
    char *err = nullptr;
    EXPECT_EQ(kest_sqlite_get_table_unicode(&raw, db.handle(), u"SELECT * FROM 東京", &err, nullptr), KEST_ERROR);
    Text error(err);
    EXPECT_EQ(raw, nullptr);
    ASSERT_NE(err, nullptr);
    EXPECT_STREQ(err, "no such table: 東京");
}

INSTANTIATE_TEST_SUITE_P(BothSettings, Unicode, ::testing::Values(0, -1),
                         [](const auto &info) { return info.param == 0 ? std::string("LibraryConverts") : "EngineCompiles"; });

TEST(UnicodeSetting, ReturnsThePreviousSetting)
{
    const int32_t original = kest_SetUnicodeConversion(0);
    EXPECT_EQ(kest_SetUnicodeConversion(-1), 0);
    EXPECT_EQ(kest_SetUnicodeConversion(5), 1);
    EXPECT_EQ(kest_SetUnicodeConversion(0), 1);
    kest_SetUnicodeConversion(original);
}

TEST(UnicodeSetting, ALoneSurrogateBecomesReplacementWhenTheLibraryConverts)
{
    const int32_t original = kest_SetUnicodeConversion(0);
    Db db;
    const char16_t sql[] = {u'S', u'E', u'L', u'E', u'C', u'T', u' ', u'\'', 0xD800, u'x', u'\'', 0};
    kest_table *raw = nullptr;
    EXPECT_EQ(kest_sqlite_get_table_unicode(&raw, db.handle(), sql, nullptr, nullptr), KEST_OK);
    Table table(raw);
    ASSERT_NE(table, nullptr);
    EXPECT_STREQ(KEST_CELL(table.get(), 0, 1), "\xEF\xBF\xBDx");
    kest_SetUnicodeConversion(original);
}
