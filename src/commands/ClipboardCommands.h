#pragma once
// Copy and Paste: the whole query window through the clipboard.

#include <QLatin1StringView>

namespace kest {

class CommandHost;

// Replaces whatever the clipboard held by the query window's text.
void onCopyClicked(CommandHost &host);

// Paste's message when the clipboard's text does not fit in the memory budget beside it.
inline constexpr QLatin1StringView PasteTooLargeMessage{"The clipboard's text is too large to paste in the memory available."};
inline constexpr QLatin1StringView PasteTooLargeTitle{"Paste"};
// Paste's message when the clipboard's text holds a NUL character, which no statement can.
inline constexpr QLatin1StringView PasteNotTextMessage{"The clipboard's text is not SQL: it holds a NUL character."};

// Replaces the whole query window, whatever is selected, by the clipboard's text; a clipboard
// without text empties it. A text that does not fit in memory, or holds a NUL character, says so and changes nothing.
void onPasteClicked(CommandHost &host);

} // namespace kest
