// The test reader itself: it must reject what a CSV parser would misread, or the export's
// read-back tests prove nothing.

#include "CsvReader.h"

#include <gtest/gtest.h>

TEST(CsvReader, ReadsQuotedAndPlainFields)
{
    const auto records = ReadCsv("\"a,b\",c,\"\"\r\n\"say \"\"hi\"\"\",\"x\r\ny\"\r\n");
    ASSERT_TRUE(records.has_value());
    EXPECT_EQ(*records, (std::vector<CsvRecord>{{"a,b", "c", ""}, {"say \"hi\"", "x\r\ny"}}));
}

TEST(CsvReader, AcceptsALastRecordWithoutLineEnd)
{
    EXPECT_EQ(ReadCsv("\"a\",\"b\""), (std::vector<CsvRecord>{{"a", "b"}}));
    EXPECT_EQ(ReadCsv(""), std::vector<CsvRecord>{});
}

TEST(CsvReader, RejectsWhatWouldBeMisread)
{
    EXPECT_FALSE(ReadCsv("\"say \"hi\"\"\r\n").has_value()); // an undoubled quote inside quotes
    EXPECT_FALSE(ReadCsv("a\"b\r\n").has_value());            // a quote inside a plain field
    EXPECT_FALSE(ReadCsv("\"abc\r\n").has_value());           // an unterminated quote
    EXPECT_FALSE(ReadCsv("\"a\"\n\"b\"\n").has_value());      // LF alone ends no record
    EXPECT_FALSE(ReadCsv("\"a\"\r\"b\"\r\n").has_value());    // nor does CR alone
}
