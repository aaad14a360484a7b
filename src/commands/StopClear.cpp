#include "StopClear.h"

#include "CommandHost.h"
#include "QuerySteps.h"
#include "ProgramState.h"
#include "WindowPort.h"

namespace kest {

void onStopClicked(CommandHost &host)
{
    host.state().StopRequested = true;
}

void onClearClicked(CommandHost &host)
{
    WindowPort &window = host.port();
    EmptyResults(window);
    window.setStatusText(QStringLiteral(" Results window cleared"));
}

} // namespace kest
