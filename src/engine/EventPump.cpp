#include "EventPump.h"

#include "WindowPort.h"

#include <QCoreApplication>

namespace kest {

void EventPump::runIfDue()
{
    if (Clock::now() - last_ >= Interval)
        runNow();
}

void EventPump::runNow()
{
    QCoreApplication::processEvents();
    last_ = Clock::now();
}

void RefreshThrottled(WindowPort &window)
{
    constexpr std::chrono::milliseconds RepaintInterval{100};
    static EventPump::Clock::time_point last{};
    const auto now = EventPump::Clock::now();
    if (now - last >= RepaintInterval) {
        window.refresh();
        last = now;
    }
}

} // namespace kest
