#include "StatusTexts.h"

#include <gtest/gtest.h>

using namespace kest;

TEST(StatusTexts, KnownCodesOnBothPaths)
{
    const struct {
        int16_t code;
        const char *table;
        const char *rowCallback;
    } cases[] = {
        {0, "Success", "Success"},
        {1, "Invalid SQL Query", "Invalid SQL Query"},
        {4, "", ""},
        {5, "SQL is busy - try exiting and restarting", "SQL is busy - try exiting and restarting"},
        {6, "Locked", "Locked"},
        {9, "User cancelled - no data will be returned", "User cancelled"},
        {12, "Database not found", "Database not found"},
        {23, "Authorisation error", "Authorisation error"},
        {26, "Not an SQLite 3 database", "Not an SQLite 3 database"},
        {101, "Done", "Done"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(StatusTextFor(QueryPath::Table, c.code), QString::fromLatin1(c.table)) << c.code;
        EXPECT_EQ(StatusTextFor(QueryPath::RowCallback, c.code), QString::fromLatin1(c.rowCallback)) << c.code;
    }
}

TEST(StatusTexts, EveryOtherCodeIsUnhandled)
{
    for (const int16_t code : {-1, 2, 3, 7, 8, 10, 11, 13, 14, 22, 24, 25, 27, 100, 102, 32767, -32768}) {
        EXPECT_EQ(StatusTextFor(QueryPath::Table, code), QStringLiteral("Unhandled SQLite error")) << code;
        EXPECT_EQ(StatusTextFor(QueryPath::RowCallback, code), QStringLiteral("Unhandled SQLite error")) << code;
    }
}

TEST(StatusTexts, AppendingAddsNoSeparatorAndCodeFourNothing)
{
    QString message = QStringLiteral("[Out of memory]");
    AppendStatusText(QueryPath::Table, 0, message);
    EXPECT_EQ(message, QStringLiteral("[Out of memory]Success"));
    QString empty;
    AppendStatusText(QueryPath::RowCallback, 4, empty);
    EXPECT_TRUE(empty.isEmpty());
}
