// The buttons of scripts, clipboard and links, the browse button and the Unicode box.

#include "frmMain.h"

namespace kest {

void frmMain::wireFileCommands()
{
}

} // namespace kest
