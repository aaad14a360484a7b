#include "DBQuery.h"

#include "EventPump.h"
#include "KestruneBinding.h"
#include "OpenDatabase.h"
#include "ProgramState.h"
#include "QueryClock.h"
#include "RunTimeFailure.h"
#include "RunningQuery.h"
#include "StatusTexts.h"
#include "Utf8Text.h"
#include "QueryThread.h"
#include "WindowPort.h"

#include <chrono>

namespace kest {
namespace {

// The window answers between the steps of a large fill (a Clear may then empty the list).
void fillList(WindowPort &window, KestTable table, int32_t rows)
{
    const int firstColumn = window.columnCount();
    const int columns = table->column_count;
    window.adoptTable(std::move(table), rows, [] { eventPump().runNow(); });
    // Now and then, not after every column: each pass lets the list measure its header's
    // sections anew, which made 2,000 columns take seconds.
    for (int c = firstColumn; c < firstColumn + columns && c < window.columnCount(); ++c) {
        window.sizeColumnToContents(c);
        eventPump().letMessagesRun();
    }
}

} // namespace

int32_t DBQuery(const Engine &engine, const QString &databasePath, const QByteArray &sqlText,
                QString &statusMessage, int16_t &statusCode, float &elapsedSeconds)
{
    KestruneBinding &library = engine.library;
    WindowPort &window = engine.window;
    engine.state.StopRequested = false;
    if (sqlText.isEmpty() || databasePath.isEmpty())
        return 0;

    int32_t handle = 0;
    int16_t openStatus = 0;
    RecordingFailure(statusMessage, [&] { openStatus = OpenDatabase(library, databasePath, handle); });
    if (!Opened(library, openStatus, handle, databasePath, statusMessage, statusCode))
        return 0;
    RecordingFailure(statusMessage, [&] { RegisterProgress(library, handle); });

    KestTable table;
    KestText error;
    int16_t status = 0;
    int32_t tableRows = 0;
    const QueryClock clock;
    {
        RunningQuery run(engine, QueryPath::Table, handle);
        const RunningScope running(run);
        const bool unicode = engine.state.UseUnicode;
        const auto call = [&] {
            RecordingFailure(statusMessage, [&] {
                if (unicode) {
                    // QString keeps its text zero-terminated.
                    const QString utf16 = Utf8Text(sqlText);
                    library.sqlite_get_table_unicode(table, handle, reinterpret_cast<const char16_t *>(utf16.utf16()),
                                                     error, status);
                } else {
                    library.sqlite_get_table(table, handle, sqlText, error, status);
                }
            });
            // The library counts per thread.
            if (table && (!error || *error == '\0'))
                RecordingFailure(statusMessage, [&] { tableRows = library.sqlite_query_rowcount(); });
        };
        const auto tick = [&] { OnWindowTick(run); };
        const auto interrupt = [&] { InterruptRun(run); };
        RecordingFailure(statusMessage, [&] { RunOnQueryThread(call, tick, interrupt); });
    }
    elapsedSeconds = clock.elapsedSeconds();
    statusCode = status;

    int32_t rows = 0;
    // On the way out of the program the window is left alone; only the database is closed.
    if (!engine.state.ExitRequested) {
        const QString errorText = toQString(error);
        if (table) {
            RecordingFailure(statusMessage, [&] {
                window.setStatusText(QStringLiteral("Complete. Updating results view - please wait ..."));
                window.refresh();
            });
            if (!errorText.isEmpty()) {
                statusMessage = errorText;
            } else {
                rows = tableRows;
                if (rows > 0)
                    RecordingFailure(statusMessage, [&] { fillList(window, std::move(table), rows); });
            }
        } else if (!errorText.isEmpty()) {
            statusMessage = errorText;
        } else {
            AppendStatusText(QueryPath::Table, status, statusMessage);
        }
    }
    RecordingFailure(statusMessage, [&] { library.sqlite3_close(handle); });
    return rows;
}

} // namespace kest
