#include "StatusTexts.h"

#include <array>

namespace kest {
namespace {

struct CodeText {
    int16_t code;
    const char *table;       // `TableStatusText`
    const char *rowCallback; // `ExecStatusText`
};

// Keyed by the engine's primary result codes.
constexpr std::array<CodeText, 10> StatusTexts{{
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
}};

constexpr const char *UnhandledText = "Unhandled SQLite error";

} // namespace

QString StatusTextFor(QueryPath path, int16_t code)
{
    for (const CodeText &entry : StatusTexts) {
        if (entry.code == code)
            return QString::fromLatin1(path == QueryPath::Table ? entry.table : entry.rowCallback);
    }
    return QString::fromLatin1(UnhandledText);
}

void AppendStatusText(QueryPath path, int16_t code, QString &statusMessage)
{
    statusMessage += StatusTextFor(path, code);
}

} // namespace kest
