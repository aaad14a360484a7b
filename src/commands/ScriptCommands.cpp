#include "ScriptCommands.h"

#include "CommandHost.h"
#include "Desktop.h"
#include "FileOpen.h"
#include "Paths.h"
#include "Scripts.h"

#include "KestruneBinding.h"
#include "ProgramState.h"
#include "QueryThread.h"

#include <QFileInfo>
#include <QLocale>
#include <QScopeGuard>

#include <new>

namespace kest {

namespace {

// Set while Load Script reads: the window answers meanwhile, the user's input waits for the text,
// and a second load that comes another way (a dropped file, a screen reader's press) is refused.
bool scriptBeingRead = false;

QString notLoadedReason(const ScriptText &script, const QLocale &locale)
{
    switch (script.fault) {
    case ScriptFault::Folder:
        return FolderReason;
    case ScriptFault::NotAFile:
        return NotAFileReason;
    case ScriptFault::NotText:
        return NotTextReason;
    case ScriptFault::TooBig:
        return QString(TooBigReason).arg(locale.formattedDataSize(script.size, 1, QLocale::DataSizeTraditionalFormat));
    case ScriptFault::CannotOpen:
        return QString(CannotOpenReason).arg(script.reason);
    case ScriptFault::None:
    case ScriptFault::ReadFailed:
        break;
    }
    return {};
}

} // namespace

void onLoadScriptClicked(CommandHost &host)
{
    if (scriptBeingRead)
        return;
    const QString path = GetFileOpen(host.desktop(), BrowseStartFolder, ScriptFilter);
    if (!path.isEmpty())
        LoadScript(host, path);
}

void LoadScript(CommandHost &host, const QString &path)
{
    if (scriptBeingRead)
        return;
    ScriptText script;
    try {
        // Held against the memory budget until the window holds the text.
        BudgetReservation held(&host.library());
        const MemoryGrant grant = [&held](qint64 bytes) {
            try {
                held.add(bytes);
                return true;
            } catch (const std::bad_alloc &) {
                return false;
            }
        };
        scriptBeingRead = true;
        const auto readDone = qScopeGuard([] { scriptBeingRead = false; });
        MakeReadyOnQueryThread([&] { script = ReadFile(path, grant); });
        if (host.state().ExitRequested)
            return;
        if (script.fault == ScriptFault::None && !script.utf8.isEmpty()) {
            host.setQuerySql(std::move(script.utf8));
            return;
        }
    } catch (const std::bad_alloc &) {
        script = ScriptText{{}, ScriptFault::TooBig, {}, QFileInfo(path).size()};
    } catch (const std::exception &) {
        script.fault = ScriptFault::ReadFailed;
    }
    if (script.fault == ScriptFault::None)
        return;
    // A script cut short by a failed read would run as if whole: nothing of it is loaded.
    const QString reason = notLoadedReason(script, host.numberLocale());
    host.desktop().message(NotLoadedPrompt + path + (reason.isEmpty() ? QString() : "\r\n\r\n" + reason),
                           NotLoadedTitle, MessageButtons::Ok, MessageIcon::Critical);
}

void onSaveScriptClicked(CommandHost &host)
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
