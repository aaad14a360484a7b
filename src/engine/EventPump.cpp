#include "EventPump.h"

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

} // namespace kest
