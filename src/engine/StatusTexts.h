#pragma once
// The words of the status line, in one place: the texts that turn a query's result code into
// words, the texts of a stopped run and of a database that cannot be opened, and the pieces that
// the commands put together (row count, code and message, elapsed time) in the user's locale.

#include <QLocale>
#include <QString>

#include <cstdint>

namespace kest {

class WindowPort;

// The two query paths differ only in the text of an interrupt.
enum class QueryPath { Table, RowCallback };

// The text of `code` on `path`; empty for the code that adds nothing (4, the row callback's stop).
QString StatusTextFor(QueryPath path, int16_t code);

// Appends the text of `code` to `statusMessage`, directly, with no separator.
void AppendStatusText(QueryPath path, int16_t code, QString &statusMessage);

// The message of an Exec run that Stop ended (its code, 4, appends nothing of its own).
QString StoppedText();

// The message of a database that cannot be opened: the file, the engine's words for the open's
// code (when the library gives them), and why when the folder meant to hold it could not be made.
QString OpenFailedText(const QString &databasePath, const QString &engineWords);

// "#,###,##0": digit groups of the locale, at least one digit.
QString FormatRowCount(int64_t rows, const QLocale &locale);

// "#0.000" of the larger of 0 and `seconds`: three decimals, no digit groups.
QString FormatSeconds(float seconds, const QLocale &locale);

// Appends " - The query took: " + the seconds + " second(s)" to the status line.
void AddQueryTimeToStatusBar(WindowPort &window, float seconds, const QLocale &locale);

// " - Status code: " + code and the message in parentheses, or " (OK)" when empty.
QString StatusCodeAndMessage(int16_t statusCode, const QString &statusMessage);

} // namespace kest
