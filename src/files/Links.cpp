#include "Links.h"

#include "Paths.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace kest {

QString AuthorSiteUrl(const QString &programFolder)
{
    QString page = JoinPath(programFolder, AuthorPageFileName);
    const QString installed =
        QDir::cleanPath(JoinPath(programFolder, QStringLiteral(KEST_README_FROM_PROGRAM)));
    if (!QFileInfo::exists(page) && QFileInfo::exists(installed))
        page = installed;
    return QUrl::fromLocalFile(page).toString(QUrl::FullyEncoded);
}

bool ShellOpen(Desktop &desktop, const QString &target, int showCode)
{
    return desktop.openUrl(target, showCode);
}

} // namespace kest
