// The buttons that run SQL: Run Query, Exec, Stop, Clear, the demonstration database and the
// canned queries.

#include "frmMain.h"

namespace kest {

void frmMain::wireQueryCommands()
{
}

} // namespace kest
