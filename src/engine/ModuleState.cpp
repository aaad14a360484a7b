#include "ModuleState.h"

namespace kest {

ModuleState &moduleState()
{
    static ModuleState state;
    return state;
}

} // namespace kest
