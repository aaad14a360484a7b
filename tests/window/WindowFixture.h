#pragma once
// The real main window over the stand-in library and a scripted desktop.

#include "KestruneBinding.h"
#include "ResultsModel.h"
#include "ModuleState.h"
#include "ScriptedDesktop.h"
#include "StandinLibrary.h"
#include "Startup.h"

#include <QLocale>

#include <memory>

namespace kest::test {

struct WindowFixture {
    // Answers of the stand-in for the banner; start() uses them.
    int16_t libVersion = 104;
    int16_t msvcVersion = 1500;
    QByteArray timeStamp = "Jan 02 2025 03:04:05";
    QByteArray engineVersion = "3.40.1";
    int32_t engineNumber = 3040001;

    Standin standin;
    ScriptedDesktop desktop;
    ModuleState state;
    KestruneBinding library{standinPath()};
    std::unique_ptr<frmMain> window;

    // Creates the window and runs start-up; false when start-up failed.
    bool start(const QLocale &locale = QLocale());
    // start(), show, and wait until the window is active.
    bool startAndShow();
};

} // namespace kest::test
