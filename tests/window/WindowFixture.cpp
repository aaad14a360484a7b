#include "WindowFixture.h"

#include <QTest>

namespace kest::test {

bool WindowFixture::start(const QLocale &locale)
{
    standin.configure(libVersion, msvcVersion, timeStamp.constData(), engineVersion.constData(),
                      engineNumber);
    standin.resetCalls();
    window = openMainWindow(library, desktop, state, locale).window;
    return window != nullptr;
}

bool WindowFixture::startAndShow()
{
    if (!start())
        return false;
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window.get());
}

} // namespace kest::test
