#include "Startup.h"

#include "KestruneBinding.h"
#include "files/Desktop.h"

#include <csignal>

namespace kest {

StartUp openMainWindow(KestruneBinding &library, Desktop &desktop, ProgramState &state,
                       const QLocale &locale)
{
    StartUp result;
#ifdef SIGXFSZ
    // A write past the file-size limit (ulimit -f) would end the program with this signal and
    // lose what it was saving; ignored, the write fails (EFBIG) and is reported like a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    auto window = std::make_unique<MainWindow>(library, desktop, state, locale);
    try {
        window->onLoad();
    } catch (const LibraryError &error) {
        result.failure = error.description();
        // Before the message, so that no half-built window shows behind it.
        window.reset();
        desktop.message(result.failure, QString(), MessageButtons::Ok, MessageIcon::Critical);
        return result;
    }
    result.window = std::move(window);
    return result;
}

} // namespace kest
