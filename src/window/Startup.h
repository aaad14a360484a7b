#pragma once
// Start-up: the main window is created and `onLoad` runs. A library or function that cannot
// be found ends start-up with a message box giving the loader's description. From start-up on,
// a write past the file-size limit fails like a full disk instead of ending the program.

#include "MainWindow.h"

#include <QString>

#include <memory>

namespace kest {

inline constexpr int StartUpFailedExitStatus = 1;

struct StartUp {
    std::unique_ptr<MainWindow> window; // null when start-up failed
    QString failure;                 // the loader's description then
};

StartUp openMainWindow(KestruneBinding &library, Desktop &desktop, ProgramState &state,
                       const QLocale &locale = QLocale());

} // namespace kest
