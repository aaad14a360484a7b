#pragma once
// The two links: Website (`Command7`) and SQLite (`Command8`). The shell's answer is not looked
// at, so a missing browser gives no message.

namespace kest {

class CommandHost;

// Opens the project's own pages, the README beside the program.
void Command7_Click(CommandHost &host);

// Opens the SQLite project's web site.
void Command8_Click(CommandHost &host);

} // namespace kest
