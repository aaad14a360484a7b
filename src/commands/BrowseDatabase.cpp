#include "BrowseDatabase.h"

#include "CommandHost.h"
#include "FileOpen.h"

namespace kest {

void onBrowseClicked(CommandHost &host)
{
    const QString path = GetFileOpen(host.desktop(), BrowseStartFolder, DatabaseFilePatterns);
    if (!path.isEmpty())
        host.setDatabaseText(path);
}

} // namespace kest
