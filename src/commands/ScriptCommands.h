#pragma once
// Load Script (`Command5`) and Save Script (`Command17`).

#include <QLatin1StringView>

namespace kest {

class CommandHost;

// The messages of Save Script; the path follows each prompt.
inline constexpr QLatin1StringView SavedPrompt{"Saved current SQL query as:\r\n\r\n"};
inline constexpr QLatin1StringView SavedTitle{"Success"};
inline constexpr QLatin1StringView NotSavedPrompt{"Failed to save SQL to "};
inline constexpr QLatin1StringView NotSavedTitle{"Error"};
// The message of Load Script when the file could not be read to its end; the path follows.
inline constexpr QLatin1StringView NotLoadedPrompt{"Failed to load SQL from "};
inline constexpr QLatin1StringView NotLoadedTitle{"Error"};

// Lets the user pick a script in the current working directory and replaces the whole query
// window by its statements; a cancel, or a file with no statements, leaves the window as it was.
// A file that cannot be read to its end says so and leaves the window as it was too.
void Command5_Click(CommandHost &host);

// Writes the query window to the saved-script file in the program's folder and says where it
// went, or that it failed. An empty query window writes nothing and says nothing.
void Command17_Click(CommandHost &host);

} // namespace kest
