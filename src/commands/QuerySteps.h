#pragma once
// Steps that every command running SQL takes the same way.

#include "CommandHost.h"
#include "Paths.h"
#include "WindowPort.h"

namespace kest {

// The database box's path; a bare name means the file in the program's folder, or
// in the per-user data folder when the program's folder is not writable (see DataFolder).
inline QString DatabasePath(const CommandHost &host)
{
    return CompleteDatabasePath(host.databaseText(), host.programFolder());
}

// Empties the results list: its rows, then its columns.
inline void EmptyResults(WindowPort &window)
{
    window.removeAllRows();
    window.removeAllColumns();
}

} // namespace kest
