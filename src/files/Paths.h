#pragma once
// The fixed files in the program's folder and the completion of a bare database name.
// The program's folder is a parameter: the window passes its own, which tests set to a
// temporary folder.

#include <QLatin1StringView>
#include <QString>

namespace kest {

inline constexpr QLatin1StringView SavedScriptFileName{"Kestrune-saved.sql"};
inline constexpr QLatin1StringView CsvOutputFileName{"Kestrune-output.csv"};

// '/' everywhere, and '\' too on Windows.
bool IsDirectorySeparator(QChar c);

// `fileName` in `programFolder`, one separator between them.
QString InProgramFolder(const QString &programFolder, const QString &fileName);

QString SavedScriptPath(const QString &programFolder);
QString CsvOutputPath(const QString &programFolder);

// A path without any directory separator names a file in the program's folder, so that all
// commands work on the same file whatever the current directory; any other path is used as
// typed. An empty path becomes the folder itself (with a trailing separator), which no
// database open accepts.
QString CompleteDatabasePath(const QString &path, const QString &programFolder);

} // namespace kest
