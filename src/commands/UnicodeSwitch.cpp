#include "UnicodeSwitch.h"

#include "CommandHost.h"
#include "KestruneBinding.h"
#include "ModuleState.h"

namespace kest {

void chkUnicode_Click(CommandHost &host)
{
    const bool on = host.unicodeBoxValue() == 1;
    host.state().UseUnicode = on ? True16 : False16;
    host.library().SetUnicodeConversion(on ? -1 : 0);
}

} // namespace kest
