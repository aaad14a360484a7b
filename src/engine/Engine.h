#pragma once
// What the query engine works with: the library, the window (through its narrow port) and the
// program's run state.

namespace kest {

class KestruneBinding;
class WindowPort;
struct ProgramState;

struct Engine {
    KestruneBinding &library;
    WindowPort &window;
    ProgramState &state;
};

} // namespace kest
