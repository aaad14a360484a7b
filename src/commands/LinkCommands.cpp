#include "LinkCommands.h"

#include "CommandHost.h"
#include "Links.h"

namespace kest {

void Command7_Click(CommandHost &host)
{
    ShellOpen(host.desktop(), AuthorSiteUrl(host.programFolder()), ShowNormal);
}

void Command8_Click(CommandHost &host)
{
    ShellOpen(host.desktop(), SqliteSiteUrl, ShowNormal);
}

} // namespace kest
