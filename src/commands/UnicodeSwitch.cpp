#include "UnicodeSwitch.h"

#include "CommandHost.h"
#include "KestruneBinding.h"
#include "ProgramState.h"

namespace kest {

void onUnicodeBoxChanged(CommandHost &host)
{
    const bool on = host.unicodeBoxValue() == 1;
    host.state().UseUnicode = on;
    host.library().SetUnicodeConversion(on ? -1 : 0);
}

} // namespace kest
