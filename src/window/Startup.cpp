#include "Startup.h"

#include "KestruneBinding.h"
#include "files/Desktop.h"

namespace kest {

StartUp openMainWindow(KestruneBinding &library, Desktop &desktop, ModuleState &state,
                       const QLocale &locale)
{
    StartUp result;
    auto window = std::make_unique<frmMain>(library, desktop, state, locale);
    try {
        window->Form_Load();
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
