#include "KestruneBinding.h"
#include "ProgramState.h"
#include "QtDesktop.h"
#include "Startup.h"

#include <QApplication>
#include <QDirIterator>
#include <QIcon>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Desktops match the window to its menu entry (kestrune-demo.desktop) by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("kestrune-demo"));
    // The title bar's and task bar's icon, at each size built in (packaging/Icons.cmake).
    QIcon icon;
    for (QDirIterator sizes(QStringLiteral(":/icons")); sizes.hasNext();)
        icon.addFile(sizes.next());
    QApplication::setWindowIcon(icon);
    kest::QtDesktop desktop;
    kest::KestruneBinding library;
    kest::StartUp startUp = kest::openMainWindow(library, desktop, kest::programState());
    if (!startUp.window) {
        // Also on the terminal, for a start from a shell or a script.
        std::fprintf(stderr, "kestrune-demo: %s\n", qPrintable(startUp.failure));
        return kest::StartUpFailedExitStatus;
    }
    desktop.setParentWindow(startUp.window.get());
    startUp.window->show();
    return app.exec();
}
