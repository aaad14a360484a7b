#pragma once
// Every button's command in one table: its handler, and whether the button is disabled, refused
// or allowed while a query runs. The Unicode box, which runs no SQL, is allowed at all times.

#include "CommandHost.h"

#include <span>

namespace kest {

// What a button is while a query runs, the query's own button included.
enum class WhileQueryRuns {
    Allowed,         // enabled, and its command runs in the middle of the query
    Refused,         // enabled, but it runs SQL too: a click changes nothing
    Disabled,        // disabled while Run Query or Exec runs; allowed while Populate or Drop runs
    DisabledRefused, // disabled while Run Query or Exec runs; refused while Populate or Drop runs
    OnlyThen,        // enabled only while a query runs
};

struct Command {
    Button button;
    void (*onClicked)(CommandHost &host);
    WhileQueryRuns whileQueryRuns;
};

std::span<const Command> commands();

// A click on the command's button. A command that runs SQL is refused, changing nothing, while
// another one is under way; started, it is the one under way until it returns.
void Click(CommandHost &host, const Command &command);

// The buttons for a query that starts (`running`) or has ended: the OnlyThen buttons enabled
// only while it runs, and while Run Query or Exec runs (`byRunOrExec`) the Disabled and
// DisabledRefused ones disabled.
void SwitchButtons(CommandHost &host, bool running, bool byRunOrExec = true);

} // namespace kest
