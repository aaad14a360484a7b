#include "Commands.h"

#include "BrowseDatabase.h"
#include "CannedQueries.h"
#include "ClipboardCommands.h"
#include "DemoDatabase.h"
#include "Exec.h"
#include "Exit.h"
#include "LinkCommands.h"
#include "ProgramState.h"
#include "RunQuery.h"
#include "ScriptCommands.h"
#include "StopClear.h"

#include <QScopeGuard>

#include <algorithm>

namespace kest {
namespace {

using enum WhileQueryRuns;

constexpr Command Commands[] = {
    {Button::RunQuery, onRunQueryClicked, Refused},
    {Button::Exec, onExecClicked, DisabledRefused},
    {Button::Stop, onStopClicked, OnlyThen},
    {Button::Clear, onClearClicked, Allowed},
    {Button::Populate, onPopulateClicked, DisabledRefused},
    {Button::Drop, onDropClicked, DisabledRefused},
    {Button::Query1, onQuery1Clicked, DisabledRefused},
    {Button::Query2, onQuery2Clicked, Refused},
    {Button::DbInfo, onDbInfoClicked, Refused},
    {Button::Explain, onExplainClicked, Refused},
    {Button::Browse, onBrowseClicked, Allowed},
    {Button::LoadScript, onLoadScriptClicked, Disabled},
    {Button::SaveScript, onSaveScriptClicked, Allowed},
    {Button::Copy, onCopyClicked, Allowed},
    {Button::Paste, onPasteClicked, Allowed},
    {Button::Website, onWebsiteClicked, Allowed},
    {Button::Sqlite, onSqliteClicked, Allowed},
    {Button::Exit, onExitClicked, Allowed},
};

static_assert(std::size(Commands) == ButtonCount &&
                  std::ranges::all_of(Commands, [](const Command &c) {
                      return std::ranges::count(Commands, c.button, &Command::button) == 1;
                  }),
              "every Button, once");

} // namespace

std::span<const Command> commands() { return Commands; }

void Click(CommandHost &host, const Command &command)
{
    if (command.whileQueryRuns != Refused && command.whileQueryRuns != DisabledRefused) {
        command.onClicked(host);
        return;
    }
    ProgramState &state = host.state();
    if (state.QueryRunning)
        return;
    state.QueryRunning = true;
    const auto done = qScopeGuard([&state] { state.QueryRunning = false; });
    command.onClicked(host);
}

void SwitchButtons(CommandHost &host, bool running, bool byRunOrExec)
{
    // The focus that leaves a button being disabled moves on to the next enabled one: after Exec
    // that is Stop, so Stop is enabled first and disabled last.
    const auto switchStop = [&] {
        for (const Command &c : Commands)
            if (c.whileQueryRuns == OnlyThen)
                host.setButtonEnabled(c.button, running);
    };
    if (running)
        switchStop();
    for (const Command &c : Commands)
        if (byRunOrExec && (c.whileQueryRuns == Disabled || c.whileQueryRuns == DisabledRefused))
            host.setButtonEnabled(c.button, !running);
    if (!running)
        switchStop();
}

} // namespace kest
