#include "ClipboardCommands.h"

#include "CommandHost.h"
#include "Desktop.h"

namespace kest {

void Command6_Click(CommandHost &host)
{
    host.desktop().setClipboardText(host.queryText());
}

void Command4_Click(CommandHost &host)
{
    host.setQueryText(host.desktop().clipboardText());
}

} // namespace kest
