#include "StopClear.h"

#include "CommandHost.h"
#include "QuerySteps.h"
#include "ModuleState.h"
#include "WindowPort.h"

namespace kest {

void Command14_Click(CommandHost &host)
{
    host.state().StopRequested = True16;
}

void Command15_Click(CommandHost &host)
{
    WindowPort &window = host.port();
    EmptyResults(window);
    window.setStatusText(QStringLiteral(" Results window cleared"));
}

} // namespace kest
