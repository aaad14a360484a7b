#pragma once
// The browse button (">>>") beside the database-file box.

namespace kest {

class CommandHost;

// Lets the user pick a database file in the current working directory; a chosen path replaces
// the database-file box, a cancel or a failing dialog leaves it as it was. Nothing is opened.
void onBrowseClicked(CommandHost &host);

} // namespace kest
