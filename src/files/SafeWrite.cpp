#include "SafeWrite.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QScopeGuard>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

#include <filesystem>
#include <system_error>

namespace kest {

namespace {

std::filesystem::path NativePath(const QString &path)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

// A file of its own beside `path`, made by this call: a name that is there already, a planted
// link included, is never opened.
bool CreateBeside(QFile &file, const QString &path)
{
    for (int attempt = 0; attempt < 16; ++attempt) {
        file.setFileName(path + QStringLiteral(".%1.tmp").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return true;
    }
    return false;
}

} // namespace

bool WriteFileSafely(const QString &path, const std::function<bool(QIODevice &)> &write)
{
    // The new text goes to a file of its own, which is then renamed to `path`. A rename replaces
    // whatever is at the path, a symbolic link as itself, so a link that someone placed there
    // never turns a save into a write over the file it points to, at any moment of the save.
    QFile file;
    if (!CreateBeside(file, path))
        return false;
    bool renamed = false;
    // Also when `write` throws (an export that Exit abandons).
    const auto removeUnlessRenamed = qScopeGuard([&] {
        if (!renamed)
            file.remove();
    });
    // A text smaller than the file's buffer reaches the disk only at the flush: it is checked
    // before the rename, like every write and the close.
    bool written = write(file) && file.flush();
    // A file that was there keeps its permissions, as an editor's save keeps them.
    const QFileInfo target(path);
    if (written && !target.isSymLink() && target.isFile())
        written = file.setPermissions(target.permissions());
#ifdef Q_OS_UNIX
    // On the disk before it replaces the old file, so that a crash leaves one or the other whole.
    written = written && ::fsync(file.handle()) == 0;
#endif
    file.close();
    if (!written || file.error() != QFileDevice::NoError)
        return false;
    std::error_code failed;
    std::filesystem::rename(NativePath(file.fileName()), NativePath(path), failed);
    renamed = !failed;
    return renamed;
}

} // namespace kest
