#include "Exit.h"

#include "ModuleState.h"

#include <QCoreApplication>

namespace kest {

void Exit(ModuleState &state)
{
    state.ExitRequested = true;
    state.StopRequested = True16;
    // exit() rather than quit(): quit() first sends close events to every window, and closing the
    // window is itself a way to exit.
    QCoreApplication::exit(0);
}

} // namespace kest
