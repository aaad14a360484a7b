// populate_driver <program folder> <database> [unit]: the real window over the real library
// clicks Populate once, the scripted desktop answering Yes. The engine's progress is counted in
// the units of its "Searching *" texts (1000 progress callbacks each) from the start of the CDs
// step; these depend on the statements only, not on the machine's speed. Without `unit` it says
// at the end how many the CDs step took ("cds-units" and the count, then "populate-done" and the
// status line). With it, it stops inside the engine when that unit is reached, says
// "paused-at" and the unit, and waits there to be killed.

#include "KestruneBinding.h"
#include "ModuleState.h"
#include "ScriptedDesktop.h"
#include "Startup.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

using namespace kest;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 3 && argc != 4) {
        std::fputs("usage: populate_driver <program folder> <database> [unit]\n", stderr);
        return 2;
    }
    const long pauseAt = argc == 4 ? std::atol(argv[3]) : 0;
    test::ScriptedDesktop desktop;
    ModuleState state;
    KestruneBinding library{QStringLiteral(KEST_REAL_LIBRARY)};
    const std::unique_ptr<frmMain> window = openMainWindow(library, desktop, state).window;
    auto *statusBar = window ? window->findChild<QStatusBar *>() : nullptr;
    if (!statusBar) {
        std::fputs("populate_driver: the window did not start\n", stderr);
        return 3;
    }
    window->setProgramFolder(QString::fromLocal8Bit(argv[1]));
    window->Text1->setText(QString::fromLocal8Bit(argv[2]));
    window->show();

    // Every status text goes through here as it is set, inside the engine's progress callback
    // for the "Searching" ones.
    bool cdsStep = false;
    long units = 0;
    QObject::connect(statusBar, &QStatusBar::messageChanged, [&](const QString &text) {
        if (text == QStringLiteral("Inserting CDs data (this may take a while) ...")) {
            cdsStep = true;
        } else if (text == QStringLiteral("Performing a simple example query ...")) {
            cdsStep = false;
        } else if (cdsStep && text.startsWith(QStringLiteral("Searching *")) && ++units == pauseAt) {
            std::printf("paused-at %ld\n", units);
            std::fflush(stdout);
            for (;;)
                pause(); // inside the CDs script's transaction, until the kill
        }
    });

    QTimer::singleShot(0, [&] {
        desktop.queueAnswer(MessageAnswer::Yes);
        window->Command9->click();
        std::printf("cds-units %ld\npopulate-done %s\n", units, qPrintable(statusBar->currentMessage()));
        std::fflush(stdout);
        app.quit();
    });
    return app.exec();
}
