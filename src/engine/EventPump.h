#pragma once
// "Let pending window messages run", throttled by time. The engine's callbacks come every few
// microseconds; one pass of the event loop per callback would cost more than the query itself,
// while one every few milliseconds keeps the window painting and Stop answering at once.

#include <chrono>
#include <cstdint>

namespace kest {

class EventPump {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds Interval{10};

    // Runs pending events when at least Interval has passed since the last time. Inline, since
    // the progress callback calls it twice every 20 engine steps.
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

// The program's one pump, shared by the engine's callbacks.
inline EventPump theEventPump;
inline EventPump &eventPump()
{
    return theEventPump;
}

class WindowPort;

// Repaints the window at once, unless it was repainted less than 100 ms ago: a repaint of the
// whole window costs far more than the rows or engine steps between two progress texts (on a
// software X server it was most of the progress display's cost), and ten repaints a second
// keep the progress visible; the status bar itself repaints whenever events run.
void RefreshThrottled(WindowPort &window);

} // namespace kest
