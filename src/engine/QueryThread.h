#pragma once
// Calls into the library that can last long run on a thread of their own while the window's
// events keep running on this one. The engine's callbacks cannot keep the window answering by
// themselves: the engine calls none while it parses a statement (a second for a 10 MB INSERT) or
// writes a transaction's pages at COMMIT, and a window that does not answer for that long looks
// hung to the desktop.

#include <chrono>
#include <functional>

namespace kest {

// How often `everyTick` runs while the call lasts: status texts a person can follow, and
// nothing a profile would notice.
inline constexpr std::chrono::milliseconds WindowTickInterval{20};

// Runs `call` on a new thread and returns when it has returned, running this thread's events
// meanwhile (Stop, Exit, Clear, repaints) and `everyTick` about every WindowTickInterval.
// `call` must not touch the window; an exception leaving it is thrown again here. When an event
// throws meanwhile, `interrupt` (which must not throw) asks `call` to end, this waits for it and
// throws that exception: the thread never outlives this function (without `interrupt`, it waits
// for `call` to end by itself). What `call` freed is handed
// back to the system on its thread before this returns. Without an application object or a
// thread to be had, `call` runs here and now.
void RunOnQueryThread(const std::function<void()> &call, const std::function<void()> &everyTick = {},
                            const std::function<void()> &interrupt = {});

// As RunOnQueryThread, for a call that makes a new query text ready: the window repaints and
// answers the desktop meanwhile, but the user's keys and clicks wait until the text is in place,
// so that F5 or a click on Exec right after Load Script or Paste runs the new text, not the old.
void MakeReadyOnQueryThread(const std::function<void()> &call);

} // namespace kest
