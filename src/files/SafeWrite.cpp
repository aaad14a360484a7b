#include "SafeWrite.h"

#include <QSaveFile>

namespace kest {

bool WriteFileSafely(const QString &path, const std::function<bool(QIODevice &)> &write)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (!write(file)) {
        file.cancelWriting();
        return false;
    }
    // commit() flushes, closes and renames, and fails if any earlier write failed.
    return file.commit();
}

} // namespace kest
