#pragma once
// Load Script and Save Script.

#include <QLatin1StringView>
#include <QString>

namespace kest {

class CommandHost;

// The messages of Save Script; the path follows each prompt.
inline constexpr QLatin1StringView SavedPrompt{"Saved current SQL query as:\r\n\r\n"};
inline constexpr QLatin1StringView SavedTitle{"Success"};
inline constexpr QLatin1StringView NotSavedPrompt{"Failed to save SQL to "};
inline constexpr QLatin1StringView NotSavedTitle{"Error"};
// The message of Load Script when the file could not be read to its end; the path follows,
// then, where the program knows why, a blank line and one of the reasons below.
inline constexpr QLatin1StringView NotLoadedPrompt{"Failed to load SQL from "};
inline constexpr QLatin1StringView NotLoadedTitle{"Error"};
inline constexpr QLatin1StringView FolderReason{"It is a folder, not a file."};
inline constexpr QLatin1StringView NotAFileReason{"It is a device, a pipe or a socket, not a file."};
inline constexpr QLatin1StringView NotTextReason{"It is not text: it holds a NUL byte."};
// %1 is the file's size.
inline constexpr QLatin1StringView TooBigReason{"At %1, it is too large to load in the memory available."};
// %1 is the system's reason.
inline constexpr QLatin1StringView CannotOpenReason{"It cannot be opened: %1."};

// Lets the user pick a script in the current working directory and replaces the whole query
// window by its statements; a cancel, or a file with no statements, leaves the window as it was.
// A file that cannot be read to its end, or is not a script at all, says so and leaves the
// window as it was too. The file is read on a thread of its own while the window answers.
void onLoadScriptClicked(CommandHost &host);
// Load Script's work once the file is chosen, for a script chosen another way (dropped on the
// window).
void LoadScript(CommandHost &host, const QString &path);

// Writes the query window to the saved-script file in the program's folder and says where it
// went, or that it failed. An empty query window writes nothing and says nothing.
void onSaveScriptClicked(CommandHost &host);

} // namespace kest
