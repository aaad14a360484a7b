#include "FileOpen.h"

#include <QStringList>

namespace kest {

FileType AllFilesType()
{
    return {QStringLiteral("All Files (*.*)"), QStringLiteral("*.*")};
}

QList<FileType> BuildFileTypes(const QString &filter)
{
    QList<FileType> types;
    if (!filter.isEmpty()) {
        if (!filter.endsWith(u'|')) {
            types.append({filter + QLatin1StringView(" files"), filter});
        } else {
            const QStringList elements = filter.split(u'|');
            for (qsizetype i = 0; i + 1 < elements.size(); i += 2) {
                const QString &description = elements.at(i);
                const QString &patterns = elements.at(i + 1);
                if (description.isEmpty() || patterns.isEmpty())
                    break;
                types.append({description, patterns});
            }
        }
    }
    types.append(AllFilesType());
    return types;
}

QString GetFileOpen(Desktop &desktop, const QString &folder, const QString &filter)
{
    // Whatever goes wrong in the dialog counts as a cancel.
    try {
        return desktop.openFileName(folder, BuildFileTypes(filter));
    } catch (...) {
        return {};
    }
}

} // namespace kest
