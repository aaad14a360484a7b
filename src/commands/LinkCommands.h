#pragma once
// The two links: Website and SQLite. The shell's answer is not looked
// at, so a missing browser gives no message.

namespace kest {

class CommandHost;

// Opens the project's own pages, the README beside the program.
void onWebsiteClicked(CommandHost &host);

// Opens the SQLite project's web site.
void onSqliteClicked(CommandHost &host);

} // namespace kest
