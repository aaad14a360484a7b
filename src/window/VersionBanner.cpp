#include "VersionBanner.h"

#include "KestruneBinding.h"
#include "WindowPort.h"

#include <QWidget>

#include <cstdlib>

namespace kest {

QString formatHundredths(int value, int integerDigits, const QLocale &locale)
{
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    QString digits = plain.toString(std::abs(value) / 100.0, 'f', 2);
    const qsizetype point = digits.indexOf(plain.decimalPoint());
    for (qsizetype present = point; present < integerDigits; ++present)
        digits.prepend(plain.zeroDigit());
    return value < 0 ? plain.negativeSign() + digits : digits;
}

QString compilerName(int16_t compilerVersion)
{
    switch (compilerVersion) {
    case 1100:
        return QStringLiteral(" VC5.0/Visual Studio 97");
    case 1500:
        return QStringLiteral(" VC9.0/Visual Studio 2008");
    default:
        return QStringLiteral(" Unknown compiler");
    }
}

void ShowVersionInfo(KestruneBinding &library, QWidget &window, WindowPort &port,
                     const QLocale &locale)
{
    const QString libraryVersion = formatHundredths(library.KestLibVersion(), 1, locale);

    const QString engineVersion = toQString(library.sqlite3_libversion());
    const QString engineNumber = QString::number(library.sqlite3_libversion_number());
    window.setWindowTitle(QStringLiteral("Kestrune Tolvane Demo v") + QLatin1String(DemoVersion) +
                          QStringLiteral(" - SQLite Version ") + engineVersion +
                          QStringLiteral(" (") + engineNumber + QStringLiteral(")"));

    const QString compilerVersion = formatHundredths(library.CompilerVersion(), 2, locale);
    port.setStatusText(QStringLiteral("   ") + QStringLiteral("Kestrune.dll") +
                       QStringLiteral(" - Version: ") + libraryVersion +
                       QStringLiteral(" - MSVC++ v") + compilerVersion + QStringLiteral(":"));

    port.setStatusText(port.statusText() + compilerName(library.CompilerVersion()));

    const QString timeStamp = toQString(library.KestLibTimeStamp());
    port.setStatusText(port.statusText() + QStringLiteral(" - [DLL Timestamp: ") + timeStamp +
                       QStringLiteral("]"));
}

} // namespace kest
