#pragma once
// Writes that never lose the previous file: the bytes go to a new file beside the target, which
// replaces the target only when every write and the final flush succeeded. A symbolic link at
// the target is replaced as itself; the file it points to is never written.

#include <QIODevice>
#include <QString>

#include <functional>

namespace kest {

// Calls `write` on the new file; false from it, or any failure to create, write or rename,
// leaves the target as it was and returns false.
bool WriteFileSafely(const QString &path, const std::function<bool(QIODevice &)> &write);

} // namespace kest
