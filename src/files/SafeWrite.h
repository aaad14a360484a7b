#pragma once
// Writes that never lose the previous file: the bytes go to a new file in the target's folder
// (one without a name where the file system makes them), which replaces the target only when
// every write and the final flush succeeded. A symbolic link at the target is replaced as
// itself; the file it points to is never written.

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <functional>

namespace kest {

// Calls `write` on the new file; false from it, or any failure to create, write or rename,
// leaves the target as it was and returns false.
bool WriteFileSafely(const QString &path, const std::function<bool(QIODevice &)> &write);

#ifdef Q_OS_UNIX
// How every save here ends, the file open as `fd` being in the target's folder: it takes the
// permissions of a regular file at `path` (else `newFileMode`), reaches the disk, and takes the
// path's place by a rename, so that a crash leaves one or the other whole and a link planted at
// the path is replaced as itself. `named` is the file's name; a file without one (O_TMPFILE)
// is linked in at the path when nothing is there, else under a temporary name that is renamed.
// On failure what was there stays, and no name of the call's making is left.
bool PutInPlace(int fd, const QByteArray &named, const QString &path, unsigned newFileMode);
#endif

// A name for a temporary file beside `path`: its name, a dot, 8 hexadecimal digits and ".tmp".
QByteArray TemporaryBeside(const QByteArray &path);

// Removes from beside `path` the temporaries that a save of it killed mid-way left: only files
// of this user named as TemporaryBeside names them, untouched for a minute (a save in progress
// in another copy of the program writes to its own, or renames it within microseconds).
void RemoveLeftBehind(const QString &path);

} // namespace kest
