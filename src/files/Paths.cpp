#include "Paths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

#include <algorithm>

namespace kest {

namespace {

// An installation puts the README of the Website link into its own folder beside the program's
// bin folder; a build tree or an unpacked copy (the program beside its library) has none.
bool IsInstalled(const QString &programFolder)
{
    const QString readme = JoinPath(programFolder, QStringLiteral(KEST_README_FROM_PROGRAM));
    return QFileInfo(QFileInfo(readme).path()).isDir();
}

// The base of the per-user data folders: XDG_DATA_HOME when it is an absolute path (the XDG
// rules ignore a relative one), else ~/.local/share. The home is HOME when that is an absolute
// path, else the user's entry in the password database; empty text when there is none.
QString UserDataHome()
{
#ifdef Q_OS_UNIX
    const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (QDir::isAbsolutePath(dataHome))
        return dataHome;
    QString home = qEnvironmentVariable("HOME");
    if (!QDir::isAbsolutePath(home)) {
        home.clear();
        passwd entry{};
        passwd *found = nullptr;
        char text[16384];
        if (getpwuid_r(getuid(), &entry, text, sizeof text, &found) == 0 && found != nullptr &&
            QDir::isAbsolutePath(QFile::decodeName(found->pw_dir)))
            home = QFile::decodeName(found->pw_dir);
    }
    return home.isEmpty() ? QString() : home + QStringLiteral("/.local/share");
#else
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
#endif
}

// Creates `folder` and whatever of its path is missing, each private to the user (0700) as the
// XDG rules ask; folders that are there are left as they are.
void MakePrivateFolder(const QString &folder)
{
    const QFileInfo info(folder);
    if (info.exists() || info.isRoot())
        return;
    MakePrivateFolder(info.absolutePath());
    QDir().mkdir(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

} // namespace

bool IsDirectorySeparator(QChar c)
{
#ifdef Q_OS_WIN
    return c == u'/' || c == u'\\';
#else
    return c == u'/';
#endif
}

QString JoinPath(const QString &folder, const QString &fileName)
{
    QString path = folder;
    if (path.isEmpty() || !IsDirectorySeparator(path.back()))
        path += u'/';
    return path + fileName;
}

QString DataFolder(const QString &programFolder)
{
    // The program's folder is judged for this user each time (access(2) on Unix), so that a
    // folder made writable while the program runs is used again. An installed program never
    // writes there, not even run by root, who can write any folder.
    if (!IsInstalled(programFolder) && QFileInfo(programFolder).isWritable())
        return programFolder;
    const QString dataHome = UserDataHome();
    // Without a home there is no private place for the files: the path named lies under the
    // folder that stands for "no home" in the password database, which is not created, so the
    // writes and opens that follow fail with their usual messages.
    if (dataHome.isEmpty())
        return QStringLiteral("/nonexistent/kestrune-demo");
    // A fixed folder name rather than the executable's, so that a renamed copy finds its files.
    const QString folder = QDir::cleanPath(dataHome + QStringLiteral("/kestrune-demo"));
    MakePrivateFolder(folder);
    return folder;
}

QString SavedScriptPath(const QString &programFolder)
{
    return JoinPath(DataFolder(programFolder), SavedScriptFileName);
}

QString CsvOutputPath(const QString &programFolder)
{
    return JoinPath(DataFolder(programFolder), CsvOutputFileName);
}

QString CompleteDatabasePath(const QString &path, const QString &programFolder)
{
    if (std::any_of(path.begin(), path.end(), IsDirectorySeparator))
        return path;
    return JoinPath(DataFolder(programFolder), path);
}

} // namespace kest
