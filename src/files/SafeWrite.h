#pragma once
// Writes that never lose the previous file: the bytes go to a temporary file beside the
// target, which replaces the target only when every write and the final flush succeeded.

#include <QIODevice>
#include <QString>

#include <functional>

namespace kest {

// Calls `write` on the temporary file; false from it, or any failure to open, write or
// rename, leaves the target as it was and returns false.
bool WriteFileSafely(const QString &path, const std::function<bool(QIODevice &)> &write);

} // namespace kest
