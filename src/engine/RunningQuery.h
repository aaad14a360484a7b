#pragma once
// The query that is inside the library. The library's progress callback takes no argument, so
// both query paths' callbacks find their run through this one object, which lives exactly as
// long as the library call. The callbacks run on the library call's own thread and never touch
// the window: what the window is to show they leave here, for the window's thread to pick up.

#include "Engine.h"
#include "MemoryBudget.h"
#include "StatusTexts.h"
#include "kestrune3.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <exception>
#include <vector>

namespace kest {

struct RunningQuery {
    RunningQuery(const Engine &engine, QueryPath path, int32_t handle, BudgetReservation *listReservation = nullptr)
        : engine(engine), path(path), handle(handle), listReservation(listReservation)
    {
    }

    const Engine &engine;
    QueryPath path;
    int32_t handle; // the connection the library's call runs on
    // A failure inside the row callback, which must not leave it as an exception.
    std::exception_ptr callbackFailure;
    // Progress calls since Stop was pressed with no row arriving to act on it.
    int32_t callsWithStopPending = 0;
    std::chrono::steady_clock::time_point stopSeenAt{};
    // When the window's thread first saw Exit while the call lasted.
    std::chrono::steady_clock::time_point exitSeenAt{};
    // Row path: the memory that the list's copy of the rows it will show is going to need,
    // held back as they are stored, so that the store cannot spend it.
    BudgetReservation *listReservation = nullptr;

    // For the window's thread while the call lasts: the table path's stars and the row path's
    // rows found, each -1 once shown.
    std::atomic<int32_t> starsToShow{-1};
    std::atomic<int64_t> rowsFoundToShow{-1};
    // Row path: rows handed to the callback, whether or not it could keep them.
    int64_t rowsReceived = 0;
    // Row path: the columns the list gains, in the order the rows asked for them, for the
    // window's thread once the call has returned.
    std::vector<QStringList> columnsToAdd;
    int listColumns = 0; // the list's columns once those are added
};

// On the window's thread, about every WindowTickInterval while the library's call lasts: shows
// the status text that `run` has left since the last tick, if any. Once Exit is asked it ends the
// statement through the library, on every tick until the call returns: an interrupt that comes
// before the library has begun its run finds nothing to end. A call that still has not returned
// ExitWait later is in work that the engine cannot interrupt (the parse of a long text without
// spaces, a COMMIT writing its pages, a wait for a lock): the process then ends without it, with
// status 1, and the engine's journal rolls the unfinished transaction back when the database is
// next opened.
inline constexpr std::chrono::milliseconds ExitWait{400};
void OnWindowTick(RunningQuery &run);

// On the window's thread while the library's call lasts: ends the statement at the engine's next
// step, or at the next blank between words while it parses, as the engine rolls such a statement
// back.
void InterruptRun(RunningQuery &run) noexcept;

// Makes `run` the running query for as long as the scope lives. A query started inside another
// one is refused by the commands, but the one before is restored all the same.
class RunningScope {
public:
    explicit RunningScope(RunningQuery &run);
    ~RunningScope();
    RunningScope(const RunningScope &) = delete;
    RunningScope &operator=(const RunningScope &) = delete;

    // The query inside the library, or nullptr.
    static RunningQuery *current() noexcept;

private:
    RunningQuery *previous_;
};

// The progress callback of both paths, every 20 engine steps and between two statements: turns
// Stop and Exit into an interrupt (code 9). On the table path it also counts the status bar's
// stars. On the row path rows that still flow end the statement
// themselves (code 4); the interrupt is for a statement that works without giving rows.
int16_t KEST_CALL SQLProgressCallback();

// Registers SQLProgressCallback on `handle` at the engine's progress interval.
void RegisterProgress(KestruneBinding &library, int32_t handle);

} // namespace kest
