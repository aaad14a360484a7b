#include "ScriptCommands.h"

#include "CommandHost.h"
#include "Desktop.h"
#include "FileOpen.h"
#include "Paths.h"
#include "Scripts.h"

namespace kest {

void Command5_Click(CommandHost &host)
{
    const QString path = GetFileOpen(host.desktop(), BrowseStartFolder, ScriptFilter);
    if (path.isEmpty())
        return;
    std::optional<QByteArray> script = ReadFile(path);
    if (!script) {
        // A script cut short by a failed read would run as if whole: nothing of it is loaded.
        host.desktop().message(NotLoadedPrompt + path, NotLoadedTitle, MessageButtons::Ok, MessageIcon::Critical);
        return;
    }
    if (script->isEmpty())
        return;
    host.setQuerySql(std::move(*script));
}

void Command17_Click(CommandHost &host)
{
    const QString path = SavedScriptPath(host.programFolder());
    const QByteArray text = host.querySql();
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
