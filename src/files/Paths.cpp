#include "Paths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

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
// XDG rules ask; folders that are there are left as they are. Returns the system's words for
// the first folder that could not be made, or empty text.
QString MakePrivateFolder(const QString &folder)
{
    const QFileInfo info(folder);
    const QString cannotMake = QStringLiteral("the folder %1 could not be made: %2");
    if (info.exists() || info.isRoot())
        return info.isDir() ? QString() : cannotMake.arg(folder, QString::fromLocal8Bit(std::strerror(EEXIST)));
    if (QString failure = MakePrivateFolder(info.absolutePath()); !failure.isEmpty())
        return failure;
#ifdef Q_OS_UNIX
    if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST)
        return cannotMake.arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
#else
    if (!QDir().mkdir(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner))
        return cannotMake.arg(folder, QStringLiteral("the system refused it"));
#endif
    return {};
}

// Why the data folder last asked for could not be made, for the message of the open that then
// fails; each command asks for the folder again, so one is enough.
std::mutex failureLock;
QString failedFolder, folderFailure;

void recordFolderFailure(const QString &folder, const QString &failure)
{
    const std::lock_guard lock(failureLock);
    failedFolder = failure.isEmpty() ? QString() : folder;
    folderFailure = failure;
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
    if (dataHome.isEmpty()) {
        const QString nowhere = QStringLiteral("/nonexistent/kestrune-demo");
        recordFolderFailure(nowhere, QStringLiteral("the user has no home folder to hold it"));
        return nowhere;
    }
    // A fixed folder name rather than the executable's, so that a renamed copy finds its files.
    const QString folder = QDir::cleanPath(dataHome + QStringLiteral("/kestrune-demo"));
    recordFolderFailure(folder, MakePrivateFolder(folder));
    return folder;
}

QString DataFolderFailure(const QString &folder)
{
    const std::lock_guard lock(failureLock);
    return folder == failedFolder ? folderFailure : QString();
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
    // The engine's own names: its in-memory database, and a URI, which it resolves itself.
    if (path == InMemoryDatabase || IsDatabaseUri(path))
        return path;
    if (std::any_of(path.begin(), path.end(), IsDirectorySeparator))
        return path;
    return JoinPath(DataFolder(programFolder), path);
}

} // namespace kest
