#pragma once
// The numbers of the status line: row counts and elapsed time, in the user's locale.

#include <QLocale>
#include <QString>

#include <cstdint>

namespace kest {

class WindowPort;

// "#,###,##0": digit groups of the locale, at least one digit.
QString FormatRowCount(int64_t rows, const QLocale &locale);

// "#0.000" of the larger of 0 and `seconds`: three decimals, no digit groups.
QString FormatSeconds(float seconds, const QLocale &locale);

// Appends " - The query took: " + the seconds + " second(s)" to the status line.
void AddQueryTimeToStatusBar(WindowPort &window, float seconds, const QLocale &locale);

// Appends " - Status code: " + code and the message in parentheses, or " (OK)" when empty.
QString StatusCodeAndMessage(int16_t statusCode, const QString &statusMessage);

} // namespace kest
