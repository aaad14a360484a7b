#include "Exit.h"

#include "CommandHost.h"
#include "ProgramState.h"

#include <QCoreApplication>

namespace kest {

void onExitClicked(CommandHost &host)
{
    host.closeWindow();
}

void Exit(ProgramState &state)
{
    state.ExitRequested = true;
    state.StopRequested = true;
    // exit() rather than quit(): quit() first sends close events to every window, and closing the
    // window is itself a way to exit.
    QCoreApplication::exit(0);
}

} // namespace kest
