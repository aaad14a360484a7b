#include "EventPump.h"

#include <QCoreApplication>

namespace kest {

void EventPump::letMessagesRun()
{
    if (Clock::now() - last_ >= Interval)
        runNow();
}

void EventPump::runNow()
{
    QCoreApplication::processEvents();
    last_ = Clock::now();
}

} // namespace kest
