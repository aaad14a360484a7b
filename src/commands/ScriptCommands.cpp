#include "ScriptCommands.h"

#include "CommandHost.h"
#include "FileOpen.h"
#include "Paths.h"
#include "Scripts.h"

namespace kest {

void Command5_Click(CommandHost &host)
{
    const QString path = GetFileOpen(host.desktop(), BrowseStartFolder, ScriptFilter);
    if (path.isEmpty())
        return;
    const QString script = ReadFile(path);
    if (script.isEmpty())
        return;
    host.setQueryText(script);
}

void Command17_Click(CommandHost &host)
{
    const QString path = SavedScriptPath(host.programFolder());
    const QString text = host.queryText();
    if (text.isEmpty())
        return;
    if (SaveFile(path, text))
        host.desktop().message(SavedPrompt + path, SavedTitle, MessageButtons::Ok,
                               MessageIcon::Information);
    else
        host.desktop().message(NotSavedPrompt + path, NotSavedTitle, MessageButtons::Ok,
                               MessageIcon::Critical);
}

} // namespace kest
