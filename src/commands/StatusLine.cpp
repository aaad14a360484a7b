#include "StatusLine.h"

#include "WindowPort.h"

#include <algorithm>

namespace kest {

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
