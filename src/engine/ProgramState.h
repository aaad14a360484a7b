#pragma once
// The program's run state: what the window, the commands and the query engine share. The window's
// thread owns them, except while a query runs in the library on a thread of its own: its
// callbacks then read the two requests, which the window may set at any moment, and they alone
// use the progress counts and the Exec rows until the library returns.

#include "ExecSpill.h"
#include "ExecStore.h"

#include <atomic>
#include <cstdint>

namespace kest {

struct ProgramState {
    // Set by Stop (and by Exit); the engine's callbacks turn it into the end of the statement.
    std::atomic<bool> StopRequested{false};
    // Chooses the UTF-16 variants of the library's query functions.
    bool UseUnicode = false;
    // Set by Exit: a query that is still inside the library must not touch the window or start
    // anything new once the library returns; the program is on its way out.
    std::atomic<bool> ExitRequested{false};
    // A command that runs SQL is under way; another one started from inside it (its callbacks
    // let window messages run) is refused and changes nothing (see Commands.h).
    bool QueryRunning = false;
    // The table path's progress display: kept from one query to the next for the whole run of
    // the program, each wrapping before it could overflow its 16 bits.
    int16_t ProgressCalls = 0;
    int16_t ProgressStars = 0;

    // The rows of the last Exec run, kept for the CSV export until the Exec command releases
    // them: those the list shows in memory, every row on disk once there are more (counted in
    // 64 bits: a result is not limited to a 32-bit count). `ExecRowCount` rows are valid.
    ExecStore ExecResults;
    ExecSpill ExecRowsOnDisk;
    int64_t ExecRowCount = 0;
    // The last Exec run was ended by Stop: its rows are only those found before.
    bool ExecStopped = false;
};

// The most rows that Exec shows in the results list; the rest go only to the CSV export.
inline constexpr int32_t ExecDisplayLimit = 25000;

// The one instance for the life of the program. The library's progress callback takes no
// argument, so the engine can only reach the state through this.
ProgramState &programState();

} // namespace kest
