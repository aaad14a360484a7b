#include "ProgramState.h"

namespace kest {

ProgramState &programState()
{
    static ProgramState state;
    return state;
}

} // namespace kest
