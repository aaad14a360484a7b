#include "RunningQuery.h"

#include "KestruneBinding.h"
#include "ProgramState.h"
#include "StatusTexts.h"
#include "WindowPort.h"

#include <chrono>
#include <cstdlib>

namespace kest {
namespace {

constexpr int32_t ProgressInterval = 20; // engine steps per progress callback
constexpr int16_t CallsPerStar = 1000;
constexpr int16_t MostStars = 40;
constexpr int16_t MostCalls = 32000;
// About 20,000 engine steps: far more than one row of any result takes while rows flow, far
// less than a person notices. A script of short statements that each wait for the disk makes few
// steps in a long time, so the grace also ends after StopGraceTime.
constexpr int32_t StopGraceCalls = 1000;
constexpr std::chrono::milliseconds StopGraceTime{100};

RunningQuery *running = nullptr;

// The table path's progress text: one star more every 1000 callbacks, starting again after 41.
void addStar(ProgramState &state, RunningQuery *run)
{
    ++state.ProgressStars;
    if (run != nullptr)
        run->starsToShow.store(state.ProgressStars, std::memory_order_relaxed);
    if (state.ProgressStars > MostStars)
        state.ProgressStars = 0;
}

// The common path is a few increments and comparisons, so the statement runs nearly as fast as
// without a progress handler.
bool tableProgress(ProgramState &state, RunningQuery *run)
{
    ++state.ProgressCalls;
    if (state.ProgressCalls % CallsPerStar == 0) [[unlikely]]
        addStar(state, run);
    if (state.ProgressCalls > MostCalls)
        state.ProgressCalls = 0;
    return state.StopRequested;
}

bool rowProgress(const ProgramState &state, RunningQuery &run)
{
    if (state.ExitRequested)
        return true;
    if (!state.StopRequested) {
        run.callsWithStopPending = 0;
        return false;
    }
    const auto now = std::chrono::steady_clock::now();
    if (run.callsWithStopPending++ == 0)
        run.stopSeenAt = now;
    return run.callsWithStopPending > StopGraceCalls || now - run.stopSeenAt >= StopGraceTime;
}

bool progress()
{
    RunningQuery *run = running;
    ProgramState &state = run != nullptr ? run->engine.state : programState();
    return run != nullptr && run->path == QueryPath::RowCallback ? rowProgress(state, *run) : tableProgress(state, run);
}

} // namespace

void OnWindowTick(RunningQuery &run)
{
    if (run.engine.state.ExitRequested) {
        const auto now = std::chrono::steady_clock::now();
        if (run.exitSeenAt == std::chrono::steady_clock::time_point{})
            run.exitSeenAt = now;
        else if (now - run.exitSeenAt >= ExitWait)
            std::_Exit(1); // no destructor may run while the query's thread still uses what they free
        InterruptRun(run);
    }
    const int32_t stars = run.starsToShow.exchange(-1, std::memory_order_relaxed);
    const int64_t rows = run.rowsFoundToShow.exchange(-1, std::memory_order_relaxed);
    if (rows >= 0)
        run.engine.window.setStatusText(QLatin1Char(' ') + QString::number(rows) + QStringLiteral(" rows found"));
    else if (stars >= 0)
        run.engine.window.setStatusText(QStringLiteral("Searching ") + QString(stars, QLatin1Char('*')));
}

void InterruptRun(RunningQuery &run) noexcept
{
    try {
        run.engine.library.sqlite3_interrupt(run.handle);
    } catch (...) {
        // A library without the function: the statement ends at its next callback instead.
    }
}

RunningScope::RunningScope(RunningQuery &run) : previous_(running)
{
    running = &run;
}

RunningScope::~RunningScope()
{
    running = previous_;
}

RunningQuery *RunningScope::current() noexcept
{
    return running;
}

int16_t KEST_CALL SQLProgressCallback()
{
    try {
        return CallbackAnswer(progress());
    } catch (...) {
        // Nothing may leave the callback as an exception; a failure here ends the statement.
        return CallbackAnswer(true);
    }
}

void RegisterProgress(KestruneBinding &library, int32_t handle)
{
    library.sqlite_progress_handler(handle, ProgressInterval, SQLProgressCallback);
}

} // namespace kest
