#pragma once
// Exit: ends the program at once, whatever runs.

namespace kest {

class CommandHost;
struct ProgramState;

// Closes the window, which is Exit.
void onExitClicked(CommandHost &host);

// Asks a running query to end at its next callback and leaves every event loop, the nested ones
// of a running query's callbacks and of an open message box included. No question is asked.
void Exit(ProgramState &state);

} // namespace kest
