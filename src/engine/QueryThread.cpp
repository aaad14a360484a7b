#include "QueryThread.h"

#include "GiveBackMemory.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <exception>
#include <system_error>
#include <thread>

namespace kest {

namespace {

void runWhileEventsRun(const std::function<void()> &call, const std::function<void()> &everyTick,
                       const std::function<void()> &interrupt, QEventLoop::ProcessEventsFlags events)
{
    // Hands back what the call freed on the thread that made it, not on the window's thread.
    const auto callOnItsHeap = [&call] {
        const QueryThreadHeap heap;
        call();
    };
    QAbstractEventDispatcher *const dispatcher = QAbstractEventDispatcher::instance();
    if (QCoreApplication::instance() == nullptr || dispatcher == nullptr) {
        callOnItsHeap();
        return;
    }
    std::atomic<bool> done{false};
    std::exception_ptr failure;
    std::thread worker;
    try {
        worker = std::thread([&] {
            try {
                callOnItsHeap();
            } catch (...) {
                failure = std::current_exception();
            }
            done.store(true, std::memory_order_release);
            dispatcher->wakeUp(); // ends the wait below at once
        });
    } catch (const std::system_error &) {
        callOnItsHeap(); // no thread to be had: the window waits, as it would for any short call
        return;
    }
    try {
        QTimer ticks;
        ticks.setInterval(WindowTickInterval);
        QObject::connect(&ticks, &QTimer::timeout, [&everyTick] {
            try {
                if (everyTick)
                    everyTick();
            } catch (...) {
                // A progress text that cannot be shown is not worth ending the run for.
            }
        });
        ticks.start();
        // Not a QEventLoop: Exit ends every event loop of the thread, and this wait must outlast
        // it until the call has returned.
        while (!done.load(std::memory_order_acquire))
            QCoreApplication::processEvents(events | QEventLoop::WaitForMoreEvents);
    } catch (...) {
        // An event that failed may have left the event loop unfit to go on: the call is ended
        // and waited for here, and the failure is the run's outcome.
        if (interrupt)
            interrupt();
        worker.join();
        throw;
    }
    worker.join();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace

void RunOnQueryThread(const std::function<void()> &call, const std::function<void()> &everyTick,
                      const std::function<void()> &interrupt)
{
    runWhileEventsRun(call, everyTick, interrupt, QEventLoop::AllEvents);
}

void MakeReadyOnQueryThread(const std::function<void()> &call)
{
    // Held, not lost: Qt hands the held input on at the next wait that takes it.
    runWhileEventsRun(call, {}, {}, QEventLoop::ExcludeUserInputEvents);
}

} // namespace kest
