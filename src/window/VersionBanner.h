#pragma once
// `ShowVersionInfo`: the versions in the window title and the first status text.

#include <QLocale>
#include <QString>

#include <cstdint>

class QWidget;

namespace kest {

class KestruneBinding;
class WindowPort;

inline constexpr const char *DemoVersion = "1.04";

// `value` / 100 with at least `integerDigits` digits before the decimal separator and exactly two
// after it, no digit grouping: "0.00" is 1 integer digit, "0#.00" is 2.
QString formatHundredths(int value, int integerDigits, const QLocale &locale);

// The compiler table, keyed by the exact result of `CompilerVersion`.
QString compilerName(int16_t compilerVersion);

// Calls the library's version functions in this order: KestLibVersion, sqlite3_libversion,
// sqlite3_libversion_number, CompilerVersion, CompilerVersion, KestLibTimeStamp. Catches nothing: a
// LibraryError ends it at the failing call, and the steps after it do not run.
void ShowVersionInfo(KestruneBinding &library, QWidget &window, WindowPort &port,
                     const QLocale &locale);

} // namespace kest
