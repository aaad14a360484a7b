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

    // Runs pending events when at least Interval has passed since the last time.
    void letMessagesRun();
    // Runs pending events now, whatever the time.
    void runNow();

private:
    // The clock is read on every 16th call only: reading it costs more than a callback's work.
    static constexpr uint32_t CallsPerClockRead = 16;
    uint32_t calls_ = 0;
    Clock::time_point last_{};
};

// The program's one pump, shared by the engine's callbacks.
EventPump &eventPump();

class WindowPort;

// Repaints the window at once, unless it was repainted less than 40 ms ago: a repaint of the
// whole window costs far more than the rows or engine steps between two progress texts, and
// 25 repaints a second keep the progress visible.
void RefreshThrottled(WindowPort &window);

} // namespace kest
