#include "DBQuery.h"

#include "EventPump.h"
#include "KestruneBinding.h"
#include "ModuleState.h"
#include "QueryClock.h"
#include "RunTimeFailure.h"
#include "StatusTexts.h"
#include "WindowPort.h"

#include <chrono>

namespace kest {
namespace {

constexpr int32_t OpenReadWriteCreate = KEST_OPEN_READWRITE | KEST_OPEN_CREATE;
constexpr int32_t ProgressInterval = 20; // engine steps per progress callback
constexpr int16_t CallsPerStar = 1000;
constexpr int16_t MostStars = 40;
constexpr int16_t MostCalls = 32000;

// The library's progress callback takes no argument: the query that is inside the library is
// found here. Nested queries are refused, but the previous one is restored all the same.
const Engine *activeQuery = nullptr;

class ActiveQuery {
public:
    explicit ActiveQuery(const Engine &engine) : previous_(activeQuery) { activeQuery = &engine; }
    ~ActiveQuery() { activeQuery = previous_; }
    ActiveQuery(const ActiveQuery &) = delete;
    ActiveQuery &operator=(const ActiveQuery &) = delete;

private:
    const Engine *previous_;
};


void fillList(WindowPort &window, KestTable table, int32_t rows)
{
    const int firstColumn = window.columnCount();
    const int columns = table->column_count;
    window.adoptTable(std::move(table), rows);
    for (int c = firstColumn; c < firstColumn + columns; ++c)
        window.sizeColumnToContents(c);
}

} // namespace

namespace {

// The progress text: one star more every 1000 callbacks, starting again after 41.
void addStar(ModuleState &state)
{
    ++state.ProgressStars;
    if (activeQuery != nullptr) {
        activeQuery->window.setStatusText(QStringLiteral("Searching ") + QString(state.ProgressStars, QLatin1Char('*')));
        RefreshThrottled(activeQuery->window);
    }
    if (state.ProgressStars > MostStars)
        state.ProgressStars = 0;
}

// Called every 20 engine steps: the common path is a few increments and comparisons, so the
// statement runs nearly as fast as without a progress handler.
int16_t progress()
{
    ModuleState &state = activeQuery != nullptr ? activeQuery->state : moduleState();
    EventPump &pump = eventPump();
    pump.letMessagesRun();
    ++state.ProgressCalls;
    if (state.ProgressCalls % CallsPerStar == 0) [[unlikely]]
        addStar(state);
    if (state.ProgressCalls > MostCalls)
        state.ProgressCalls = 0;
    const int16_t result = state.StopRequested;
    pump.letMessagesRun();
    return result;
}

} // namespace

int16_t KEST_CALL SQLProgressCallback()
{
    try {
        return progress();
    } catch (...) {
        // Nothing may leave the callback as an exception; a failure here ends the statement.
        return True16;
    }
}

int32_t DBQuery(const Engine &engine, const QString &databasePath, const QString &sqlText,
                QString &statusMessage, int16_t &statusCode, float &elapsedSeconds)
{
    KestruneBinding &library = engine.library;
    WindowPort &window = engine.window;
    engine.state.StopRequested = False16;
    if (sqlText.isEmpty() || databasePath.isEmpty())
        return 0;

    int32_t handle = 0;
    int16_t openStatus = 0;
    Trapped(statusMessage, [&] { openStatus = library.sqlite3_open_v2(databasePath.toUtf8(), handle, OpenReadWriteCreate, nullptr); });
    if (openStatus != 0) {
        statusMessage = QString::number(openStatus);
        return 0;
    }
    if (handle == 0) {
        statusMessage = QStringLiteral("No database handle returned");
        return 0;
    }
    Trapped(statusMessage, [&] { library.sqlite_progress_handler(handle, ProgressInterval, SQLProgressCallback); });

    KestTable table;
    KestText error;
    int16_t status = 0;
    const QueryClock clock;
    {
        const ActiveQuery active(engine);
        Trapped(statusMessage, [&] {
            if (engine.state.UseUnicode != False16) {
                const QString terminated = sqlText + QChar(u'\0');
                library.sqlite_get_table_unicode(table, handle, reinterpret_cast<const char16_t *>(terminated.utf16()),
                                                 error, status);
            } else {
                library.sqlite_get_table(table, handle, sqlText.toUtf8(), error, status);
            }
        });
    }
    elapsedSeconds = clock.elapsedSeconds();
    statusCode = status;

    int32_t rows = 0;
    // On the way out of the program the window is left alone; only the database is closed.
    if (!engine.state.ExitRequested) {
        const QString errorText = toQString(error);
        if (table) {
            Trapped(statusMessage, [&] {
                window.setStatusText(QStringLiteral("Complete. Updating results view - please wait ..."));
                window.refresh();
            });
            if (!errorText.isEmpty()) {
                statusMessage = errorText;
            } else {
                Trapped(statusMessage, [&] { rows = library.sqlite_query_rowcount(); });
                if (rows > 0)
                    Trapped(statusMessage, [&] { fillList(window, std::move(table), rows); });
            }
        } else if (!errorText.isEmpty()) {
            statusMessage = errorText;
        } else {
            AppendStatusText(QueryPath::Table, status, statusMessage);
        }
    }
    Trapped(statusMessage, [&] { library.sqlite3_close(handle); });
    return rows;
}

} // namespace kest
