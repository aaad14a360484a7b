#include "StatusTexts.h"

#include "Paths.h"
#include "WindowPort.h"

#include <QFileInfo>

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

QString StoppedText()
{
    return QStringLiteral("Stopped - only the rows found before the stop");
}

QString OpenFailedText(const QString &databasePath, const QString &engineWords)
{
    QString text = QStringLiteral("Cannot open the database ") + databasePath;
    if (!engineWords.isEmpty())
        text += QStringLiteral(": ") + engineWords;
    const QString folderFailure = DataFolderFailure(QFileInfo(databasePath).path());
    if (!folderFailure.isEmpty())
        text += QStringLiteral("; ") + folderFailure;
    return text;
}

QString FormatRowCount(int64_t rows, const QLocale &locale)
{
    QLocale grouped = locale;
    grouped.setNumberOptions(grouped.numberOptions() & ~QLocale::OmitGroupSeparator);
    return grouped.toString(rows);
}

QString FormatSeconds(float seconds, const QLocale &locale)
{
    QLocale plain = locale;
    plain.setNumberOptions(plain.numberOptions() | QLocale::OmitGroupSeparator);
    // Not greater than 0 (a NaN included) shows as 0.
    const double shown = seconds > 0 ? static_cast<double>(seconds) : 0.0;
    return plain.toString(shown, 'f', 3);
}

void AddQueryTimeToStatusBar(WindowPort &window, float seconds, const QLocale &locale)
{
    window.setStatusText(window.statusText() + QStringLiteral(" - The query took: ") + FormatSeconds(seconds, locale) +
                         QStringLiteral(" second(s)"));
}

QString StatusCodeAndMessage(int16_t statusCode, const QString &statusMessage)
{
    QString text = QStringLiteral(" - Status code: ") + QString::number(statusCode);
    text += statusMessage.isEmpty() ? QStringLiteral(" (OK)") : QStringLiteral(" (") + statusMessage + QLatin1Char(')');
    return text;
}

} // namespace kest
