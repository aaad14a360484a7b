#include "RunningQuery.h"

#include "EventPump.h"
#include "KestruneBinding.h"
#include "ModuleState.h"
#include "StatusTexts.h"
#include "WindowPort.h"

namespace kest {
namespace {

constexpr int32_t ProgressInterval = 20; // engine steps per progress callback
constexpr int16_t CallsPerStar = 1000;
constexpr int16_t MostStars = 40;
constexpr int16_t MostCalls = 32000;
// About 20,000 engine steps: far more than one row of any result takes while rows flow, far
// less than a person notices.
constexpr int32_t StopGraceCalls = 1000;

RunningQuery *running = nullptr;

// The table path's progress text: one star more every 1000 callbacks, starting again after 41.
void addStar(ModuleState &state, RunningQuery *run)
{
    ++state.ProgressStars;
    if (run != nullptr) {
        run->engine.window.setStatusText(QStringLiteral("Searching ") + QString(state.ProgressStars, QLatin1Char('*')));
        RefreshThrottled(run->engine.window);
    }
    if (state.ProgressStars > MostStars)
        state.ProgressStars = 0;
}

// The common path is a few increments and comparisons, so the statement runs nearly as fast as
// without a progress handler.
int16_t tableProgress(ModuleState &state, RunningQuery *run)
{
    ++state.ProgressCalls;
    if (state.ProgressCalls % CallsPerStar == 0) [[unlikely]]
        addStar(state, run);
    if (state.ProgressCalls > MostCalls)
        state.ProgressCalls = 0;
    return state.StopRequested;
}

int16_t rowProgress(const ModuleState &state, RunningQuery &run)
{
    if (state.ExitRequested)
        return True16;
    if (state.StopRequested == False16) {
        run.callsWithStopPending = 0;
        return False16;
    }
    return ++run.callsWithStopPending > StopGraceCalls ? True16 : False16;
}

int16_t progress()
{
    RunningQuery *run = running;
    ModuleState &state = run != nullptr ? run->engine.state : moduleState();
    EventPump &pump = eventPump();
    pump.letMessagesRun();
    const int16_t result =
        run != nullptr && run->path == QueryPath::RowCallback ? rowProgress(state, *run) : tableProgress(state, run);
    pump.letMessagesRun();
    // A Stop seen in this second pass takes effect at the next call.
    return result;
}

} // namespace

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
        return progress();
    } catch (...) {
        // Nothing may leave the callback as an exception; a failure here ends the statement.
        return True16;
    }
}

void RegisterProgress(KestruneBinding &library, int32_t handle)
{
    library.sqlite_progress_handler(handle, ProgressInterval, SQLProgressCallback);
}

} // namespace kest
