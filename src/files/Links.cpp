#include "Links.h"

#include "Paths.h"

#include <QUrl>

namespace kest {

QString AuthorSiteUrl(const QString &programFolder)
{
    return QUrl::fromLocalFile(InProgramFolder(programFolder, AuthorPageFileName)).toString(QUrl::FullyEncoded);
}

bool ShellOpen(Desktop &desktop, const QString &target, int showCode)
{
    return desktop.openUrl(target, showCode);
}

} // namespace kest
