#pragma once
// Exec: the query window's SQL through the row-callback path; at most 25000 rows
// are shown, and when more were stored the user may have all of them written to a CSV file.

#include <QLatin1StringView>
#include <QLocale>
#include <QString>

#include <cstdint>

namespace kest {

class CommandHost;

inline constexpr QLatin1StringView CsvQuestionTitle{"Demo"};
inline constexpr QLatin1StringView CsvWrittenTitle{"Success"};
inline constexpr QLatin1StringView CsvFailedTitle{"Error"};

// The limit message: why only part of the rows show, and where the CSV file would go; for a run
// that Stop ended, first that its rows are only those found before the stop.
QString CsvQuestion(const QString &csvPath, bool stopped = false);
// "Length of the saved file was " + megabytes as "###,##0.00" + " Mb"; when the file went to the
// per-user data folder instead of the program's folder, two line breaks and its path follow.
QString CsvWrittenMessage(int64_t bytes, const QLocale &locale, const QString &redirectedPath = {});
QString CsvFailedMessage(const QString &csvPath);

void onExecClicked(CommandHost &host);

} // namespace kest
