#pragma once
// "Let pending window messages run", throttled by time, for long work on the window's own thread
// (filling the list, writing the CSV file). It asks every few microseconds; one pass of the event
// loop each time would cost more than the work itself, while one every few milliseconds keeps the
// window painting and Stop answering at once.

#include <chrono>
#include <cstdint>

namespace kest {

class EventPump {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds Interval{10};

    // Runs pending events when at least Interval has passed since the last time. Inline, since
    // it is called for every row written.
    void letMessagesRun()
    {
        if ((++calls_ & (CallsPerClockRead - 1)) == 0)
            runIfDue();
    }
    // Runs pending events now, whatever the time.
    void runNow();

private:
    // The clock is read on every 64th call only: reading it costs more than a callback's work,
    // and 64 calls are a few microseconds of a statement.
    static constexpr uint32_t CallsPerClockRead = 64;
    void runIfDue();
    uint32_t calls_ = 0;
    Clock::time_point last_{};
};

// The program's one pump.
inline EventPump theEventPump;
inline EventPump &eventPump()
{
    return theEventPump;
}

} // namespace kest
