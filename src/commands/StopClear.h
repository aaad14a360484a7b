#pragma once
// Stop and Clear.

namespace kest {

class CommandHost;

// Asks the running query to end at the engine's next callback.
void onStopClicked(CommandHost &host);

// Empties the results list, rows and columns, and says so.
void onClearClicked(CommandHost &host);

} // namespace kest
