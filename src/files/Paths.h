#pragma once
// The fixed files in the program's folder and the completion of a bare database name.
// The program's folder is a parameter: the window passes its own, which tests set to a
// temporary folder. Data files go to DataFolder(), which is the program's folder only for a
// build tree or an unpacked copy that the user can write.

#include <QLatin1StringView>
#include <QString>

namespace kest {

inline constexpr QLatin1StringView SavedScriptFileName{"Kestrune-saved.sql"};
inline constexpr QLatin1StringView CsvOutputFileName{"Kestrune-output.csv"};

// '/' everywhere, and '\' too on Windows.
bool IsDirectorySeparator(QChar c);

// `fileName` in `folder`, one separator between them.
QString JoinPath(const QString &folder, const QString &fileName);

// The folder for the data files that belong in the program's folder (a bare database name, the
// saved script, the CSV export): `programFolder` itself, unchanged, while the user can write it
// and it is a build tree or an unpacked copy. An installed program (one with the folder an
// installation puts beside its bin folder) never uses it, even run by root, and a folder the user
// cannot write is not used either: then it is the per-user data folder of the XDG convention
// (`$XDG_DATA_HOME/kestrune-demo` for an absolute XDG_DATA_HOME, else
// `~/.local/share/kestrune-demo`, the home from the password database when HOME is unset),
// created private to the user (0700) when missing. If that cannot be created, the path is still
// returned, and the write or open that follows fails with its usual message.
QString DataFolder(const QString &programFolder);

// Why `folder`, the data folder that DataFolder() last gave, could not be made ("the folder …
// could not be made: " and the system's words), or empty text when it was or is another folder.
QString DataFolderFailure(const QString &folder);

// The fixed files, in DataFolder(programFolder).
QString SavedScriptPath(const QString &programFolder);
QString CsvOutputPath(const QString &programFolder);

// The engine's name of a database that lives in memory for one connection.
inline constexpr QLatin1StringView InMemoryDatabase{":memory:"};

// A URI, which the engine resolves itself.
inline bool IsDatabaseUri(const QString &path)
{
    return path.startsWith(QLatin1String("file:"));
}

// The engine's own names are used as typed: ":memory:" and a URI ("file:" and the rest, a
// relative one taken from the working folder, as the engine takes it). A path without any
// directory separator names a file in DataFolder(programFolder), so that all
// commands work on the same file whatever the current directory; any other path is used as
// typed. An empty path becomes the folder itself (with a trailing separator), which no
// database open accepts.
QString CompleteDatabasePath(const QString &path, const QString &programFolder);

} // namespace kest
