#include "EventPump.h"

#include "WindowPort.h"

#include <QCoreApplication>

namespace kest {

void EventPump::letMessagesRun()
{
    if (++calls_ % CallsPerClockRead != 0)
        return;
    if (Clock::now() - last_ >= Interval)
        runNow();
}

void EventPump::runNow()
{
    QCoreApplication::processEvents();
    last_ = Clock::now();
}

EventPump &eventPump()
{
    static EventPump pump;
    return pump;
}

void RefreshThrottled(WindowPort &window)
{
    constexpr std::chrono::milliseconds RepaintInterval{40};
    static EventPump::Clock::time_point last{};
    const auto now = EventPump::Clock::now();
    if (now - last >= RepaintInterval) {
        window.refresh();
        last = now;
    }
}

} // namespace kest
