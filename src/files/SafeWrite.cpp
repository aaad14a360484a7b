#include "SafeWrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <ctime>
#include <filesystem>
#include <system_error>

namespace kest {

QByteArray TemporaryBeside(const QByteArray &path)
{
    return path + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 16).rightJustified(8, '0') + ".tmp";
}

#ifdef Q_OS_UNIX

bool PutInPlace(int fd, const QByteArray &named, const QString &path, unsigned newFileMode)
{
    // A file that was there keeps its permissions, as an editor's save keeps them.
    const QByteArray target = QFile::encodeName(path);
    struct stat there {};
    const bool exists = ::lstat(target.constData(), &there) == 0;
    const bool replaces = exists && S_ISREG(there.st_mode);
    // On the disk before it replaces the old file, so that a crash leaves one or the other whole.
    if (::fchmod(fd, replaces ? there.st_mode & 0777 : newFileMode) != 0 || ::fsync(fd) != 0)
        return false;
    if (!named.isEmpty())
        return ::rename(named.constData(), target.constData()) == 0;
    // A link is never made over a name that is there (EEXIST), a planted link included.
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    if (!exists && ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, target.constData(), AT_SYMLINK_FOLLOW) == 0)
        return true;
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QByteArray temporary = TemporaryBeside(target);
        if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, temporary.constData(), AT_SYMLINK_FOLLOW) == 0) {
            if (::rename(temporary.constData(), target.constData()) == 0)
                return true;
            ::unlink(temporary.constData());
            return false;
        }
        if (errno != EEXIST)
            break;
    }
    return false;
}

bool WriteFileSafely(const QString &path, const std::function<bool(QIODevice &)> &write)
{
    // The new text goes to a file of its own in the target's folder: one without a name where the
    // file system makes them, so that a save cut short leaves nothing; else one made under a new
    // name by this call (a name that is there, a planted link included, is never opened).
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    QByteArray named;
    int fd = -1;
#ifdef O_TMPFILE
    fd = ::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
#endif
    for (int attempt = 0; fd < 0 && attempt < 16; ++attempt) {
        named = TemporaryBeside(QFile::encodeName(path));
        fd = ::open(named.constData(), O_CREAT | O_EXCL | O_NOFOLLOW | O_RDWR | O_CLOEXEC, 0666);
    }
    if (fd < 0)
        return false;
    bool placed = false;
    // Also when `write` throws (an export that Exit abandons).
    const auto cleanUp = qScopeGuard([&] {
        if (!placed && !named.isEmpty())
            ::unlink(named.constData());
        ::close(fd);
    });
    // What the user's umask gives a file made now.
    struct stat made {};
    QFile file;
    // A text smaller than the file's buffer reaches the disk only at the flush: it is checked
    // before the file is put in place, like every write.
    if (::fstat(fd, &made) != 0 || !file.open(fd, QIODevice::WriteOnly, QFileDevice::DontCloseHandle) || !write(file) ||
        !file.flush() || file.error() != QFileDevice::NoError)
        return false;
    placed = PutInPlace(fd, named, path, made.st_mode & 0777);
    if (placed) // what a save of this file that was killed left behind goes with this one
        RemoveLeftBehind(path);
    return placed;
}

void RemoveLeftBehind(const QString &path)
{
    const QFileInfo target(path);
    const QRegularExpression temporary(QLatin1Char('^') + QRegularExpression::escape(target.fileName()) +
                                       QStringLiteral("\\.[0-9a-f]{8}\\.tmp$"));
    const QDir folder = target.absoluteDir();
    for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (!temporary.match(name).hasMatch())
            continue;
        const QByteArray left = QFile::encodeName(folder.filePath(name));
        struct stat seen {};
        if (::lstat(left.constData(), &seen) == 0 && S_ISREG(seen.st_mode) && seen.st_uid == ::geteuid() &&
            seen.st_mtime < std::time(nullptr) - 60)
            ::unlink(left.constData());
    }
}

#else // Without the Unix calls: a file under a new name, renamed over the target.

bool WriteFileSafely(const QString &path, const std::function<bool(QIODevice &)> &write)
{
    QFile file;
    bool made = false;
    for (int attempt = 0; !made && attempt < 16; ++attempt) {
        file.setFileName(QFile::decodeName(TemporaryBeside(QFile::encodeName(path))));
        made = file.open(QIODevice::WriteOnly | QIODevice::NewOnly);
    }
    if (!made)
        return false;
    bool renamed = false;
    const auto removeUnlessRenamed = qScopeGuard([&] {
        if (!renamed)
            file.remove();
    });
    bool written = write(file) && file.flush();
    const QFileInfo target(path);
    if (written && !target.isSymLink() && target.isFile())
        written = file.setPermissions(target.permissions());
    file.close();
    if (!written || file.error() != QFileDevice::NoError)
        return false;
    std::error_code failed;
    std::filesystem::rename(std::filesystem::path(file.fileName().toStdWString()), std::filesystem::path(path.toStdWString()),
                            failed);
    renamed = !failed;
    return renamed;
}

void RemoveLeftBehind(const QString &) {}

#endif

} // namespace kest
