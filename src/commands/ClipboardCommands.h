#pragma once
// Copy (`Command6`) and Paste (`Command4`): the whole query window through the clipboard.

namespace kest {

class CommandHost;

// Replaces whatever the clipboard held by the query window's text.
void Command6_Click(CommandHost &host);

// Replaces the whole query window, whatever is selected, by the clipboard's text; a clipboard
// without text empties it.
void Command4_Click(CommandHost &host);

} // namespace kest
