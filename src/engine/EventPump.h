#pragma once
// "Let pending window messages run", throttled by time, for long work on the window's own thread
// (filling the list, writing the CSV file): one pass of the event loop every few milliseconds
// keeps the window painting and answering at once.

#include <chrono>

namespace kest {

class EventPump {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds Interval{10};

    // Runs pending events when at least Interval has passed since the last time.
    void letMessagesRun();
    // Runs pending events now, whatever the time.
    void runNow();

private:
    Clock::time_point last_{};
};

// The program's one pump.
inline EventPump theEventPump;
inline EventPump &eventPump()
{
    return theEventPump;
}

} // namespace kest
