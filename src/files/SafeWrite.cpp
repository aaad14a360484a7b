#include "SafeWrite.h"

#include <QSaveFile>

namespace kest {

bool WriteFileSafely(const QString &path, const std::function<bool(QIODevice &)> &write)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // A text smaller than the file's buffer reaches the disk only at the flush, and commit()
    // would rename a short file over the old one if that flush failed part way: check it here.
    if (!write(file) || !file.flush()) {
        file.cancelWriting();
        return false;
    }
    // commit() closes and renames, and fails if any earlier write failed.
    return file.commit();
}

} // namespace kest
