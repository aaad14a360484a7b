#pragma once
// Stop (`Command14`) and Clear (`Command15`).

namespace kest {

class CommandHost;

// Asks the running query to end at the engine's next callback.
void Command14_Click(CommandHost &host);

// Empties the results list, rows and columns, and says so.
void Command15_Click(CommandHost &host);

} // namespace kest
