#include "LinkCommands.h"

#include "CommandHost.h"
#include "Links.h"

namespace kest {

void onWebsiteClicked(CommandHost &host)
{
    ShellOpen(host.desktop(), AuthorSiteUrl(host.programFolder()), ShowNormal);
}

void onSqliteClicked(CommandHost &host)
{
    ShellOpen(host.desktop(), SqliteSiteUrl, ShowNormal);
}

} // namespace kest
