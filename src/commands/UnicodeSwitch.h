#pragma once
// The Unicode box (`unicodeBox`): 8-bit or UTF-16 text between the program and the library.

namespace kest {

class CommandHost;

// Sets `UseUnicode` and the library's conversion from the box together, so the engine's choice
// of query function and the library's mode never disagree. Only a ticked box is on; a greyed
// one counts as off. A statement already running keeps the mode it started with.
void onUnicodeBoxChanged(CommandHost &host);

} // namespace kest
