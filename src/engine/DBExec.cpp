#include "DBExec.h"

#include "ByteArena.h"
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

#include <algorithm>
#include <chrono>
#include <exception>
#include <thread>

namespace kest {
namespace {

constexpr int32_t RowsPerProgressText = 5000;
constexpr std::chrono::milliseconds ProgressPause{10};
// The list keeps its texts in large buffers: the last one may be mostly unused.
constexpr int64_t ListCopySlack = ByteArena::BufferSize;

// Where DBExec is, for its failure text: the numbers are what "[Out of memory after line: 50]"
// shows.
enum class ExecStep : int16_t {
    Reset = 10,        // the row count and Stop cleared
    CheckInput = 20,   // nothing runs without SQL and a database
    Open = 30,
    Prepare = 40,      // the row store and the progress callback made ready
    Run = 50,          // the exec call
    ShowRows = 60,     // the status line before the rows are copied
    AddRow = 70,
    AddFirstCell = 80, // a row's first cell, which adds its row to the list
    AddCell = 90,
    Report = 100,      // the status text of the outcome
    Close = 110,       // the library's row count read, the connection closed
};

// Columns for a row wider than the list, named after that row's statement; the list gains
// them once the library has returned.
void widenList(RunningQuery &run, const kest_texts &names, int from)
{
    QStringList added;
    for (int c = from; c < names.count; ++c)
        added << QString::fromUtf8(names.texts[c]);
    run.columnsToAdd.push_back(std::move(added));
    run.listColumns = from + static_cast<int>(run.columnsToAdd.back().size());
}

} // namespace

namespace {

// Bytes that the list's copy of a row will take: its texts, and a little more for what the
// list's buffers round up to (long texts get buffers of whole pages).
int64_t listCopyBytes(const kest_texts &row, const unsigned char *types)
{
    int64_t bytes = 0;
    for (int c = 0; c < row.count; ++c)
        bytes += row.lengths[c] + (types != nullptr && types[c] == KEST_FLOAT ? sizeof(double) : 0);
    return bytes + bytes / 32;
}

bool storeRow(RunningQuery &run, const int32_t *rowNumber, const kest_texts *rowValues,
                 const kest_texts *columnNames)
{
    ProgramState &state = run.engine.state;
    ++run.rowsReceived;

    if (*rowNumber == 1)
        widenList(run, *columnNames, 0);
    else if (columnNames->count > run.listColumns)
        widenList(run, *columnNames, run.listColumns);

    if (state.ExecRowCount == 0) { // a new run drops the rows of the one before
        state.ExecResults.clear();
        state.ExecRowsOnDisk.discard();
    }
    if (state.ExecRowCount < ExecDisplayLimit) {
        const unsigned char *types = run.engine.library.givesTypes() ? rowValues->types : nullptr;
        if (run.listReservation != nullptr)
            run.listReservation->add(listCopyBytes(*rowValues, types) + (state.ExecRowCount == 0 ? ListCopySlack : 0));
        state.ExecResults.appendRow(rowValues->texts, rowValues->lengths, types, rowValues->count);
    } else {
        if (state.ExecRowCount == ExecDisplayLimit)
            state.ExecRowsOnDisk.begin(state.ExecResults);
        state.ExecRowsOnDisk.appendRow(rowValues->texts, rowValues->lengths, rowValues->count);
    }
    ++state.ExecRowCount;

    // The library's row number stops growing past 32 bits; the count here does not.
    if (state.ExecRowCount % RowsPerProgressText == 0) {
        run.rowsFoundToShow.store(state.ExecRowCount, std::memory_order_relaxed);
        std::this_thread::sleep_for(ProgressPause);
    }
    if (!state.StopRequested.exchange(false))
        return false;
    state.ExecStopped = true;
    return true;
}

} // namespace

int16_t KEST_CALL SQLCallbackMain(const int32_t *rowNumber, void * /*unused*/, const kest_texts *rowValues,
                                  const kest_texts *columnNames)
{
    RunningQuery *run = RunningScope::current();
    if (run == nullptr)
        return CallbackAnswer(true);
    try {
        return CallbackAnswer(storeRow(*run, rowNumber, rowValues, columnNames));
    } catch (...) {
        // A row that cannot be stored (the memory budget is spent) ends the statement; the rows
        // so far stay.
        run->callbackFailure = std::current_exception();
        return CallbackAnswer(true);
    }
}

int64_t DBExec(const Engine &engine, const QString &databasePath, const QByteArray &sqlText,
               QString &statusMessage, int16_t &statusCode, float &elapsedSeconds)
{
    KestruneBinding &library = engine.library;
    WindowPort &window = engine.window;
    ProgramState &state = engine.state;
    ExecStep checkpoint = ExecStep::Reset;
    // A failing step is described with the step it happened at, and the next step runs.
    const auto recordingFailure = [&](auto &&step) noexcept {
        try {
            step();
        } catch (...) {
            statusMessage = BracketedFailure(static_cast<int>(checkpoint)); // the step reached inside `step`
        }
    };

    int32_t handle = 0;
    int16_t status = 0;
    int64_t rows = 0;
    recordingFailure([&] {
        state.ExecRowCount = 0;
        state.ExecStopped = false;
        state.StopRequested = false;
    });
    checkpoint = ExecStep::CheckInput;
    if (!sqlText.isEmpty() && !databasePath.isEmpty()) {
        checkpoint = ExecStep::Open;
        int16_t openStatus = 0;
        recordingFailure([&] { openStatus = OpenDatabase(library, databasePath, handle); });
        if (!Opened(library, openStatus, handle, databasePath, statusMessage, statusCode))
            return 0;
        checkpoint = ExecStep::Prepare;
        state.ExecRowCount = 0;
        state.ExecResults.chargeTo(&library);
        recordingFailure([&] { RegisterProgress(library, handle); });
        KestText error;
        checkpoint = ExecStep::Run;
        const QueryClock clock;
        BudgetReservation listReservation(&library);
        RunningQuery run(engine, QueryPath::RowCallback, handle, &listReservation);
        run.listColumns = window.columnCount();
        {
            const RunningScope running(run);
            const bool unicode = state.UseUnicode;
            const auto call = [&] {
                int16_t userArgument = 0; // handed to the callback, which never reads it
                recordingFailure([&] {
                    if (unicode) {
                        // QString keeps its text zero-terminated.
                        const QString utf16 = Utf8Text(sqlText);
                        status = library.sqlite_exec_unicode(handle, reinterpret_cast<const char16_t *>(utf16.utf16()),
                                                             SQLCallbackMain, &userArgument, error);
                    } else {
                        status = library.sqlite_exec(handle, sqlText, SQLCallbackMain, &userArgument, error);
                    }
                });
                checkpoint = ExecStep::Close;
                recordingFailure([&] { rows = library.sqlite_exec_rowcount64(); }); // the library counts per thread
                checkpoint = ExecStep::Run;
            };
            const auto tick = [&] { OnWindowTick(run); };
            const auto interrupt = [&] { InterruptRun(run); };
            recordingFailure([&] { RunOnQueryThread(call, tick, interrupt); });
        }
        elapsedSeconds = clock.elapsedSeconds();
        if (status == KEST_INTERRUPT) {
            state.StopRequested = false; // acted on by the progress callback, which leaves it set
            state.ExecStopped = true;
        }
        // A row that could not be stored fails the exec step itself.
        if (run.callbackFailure)
            recordingFailure([&] { std::rethrow_exception(run.callbackFailure); });

        // On the way out of the program the window is left alone; only the database is closed.
        if (state.ExitRequested) {
            recordingFailure([&] { library.sqlite3_close(handle); });
            return 0;
        }
        // The rows still gathered go to disk too; the rows a full disk refused are not counted
        // (the rows the list shows stay in memory), nor is a row that could not be stored.
        recordingFailure([&] { state.ExecRowsOnDisk.finish(); });
        if (state.ExecRowCount > ExecDisplayLimit)
            state.ExecRowCount = std::max<int64_t>(ExecDisplayLimit, state.ExecRowsOnDisk.rowCount());
        rows = std::max<int64_t>(0, rows - (run.rowsReceived - state.ExecRowCount));
        recordingFailure([&] {
            QStringList names;
            for (const QStringList &columns : run.columnsToAdd)
                names += columns;
            window.addColumns(names);
        });
        if (state.ExecRowCount > 0) {
            checkpoint = ExecStep::ShowRows;
            recordingFailure([&] {
                window.setStatusText(window.statusText() + QStringLiteral(" (Displaying up to ") +
                                     QString::number(ExecDisplayLimit) + QStringLiteral(" results - please wait ...)"));
                window.refresh();
            });
            listReservation.release(); // for the list to take now
            const auto shown = static_cast<int32_t>(std::min<int64_t>(state.ExecRowCount, ExecDisplayLimit));
            const ExecStore &store = state.ExecResults;
            window.beginBulkUpdate();
            for (int32_t r = 0; r < shown; ++r) {
                checkpoint = ExecStep::AddRow;
                const int columns = store.columnCount(r);
                bool rowAdded = false;
                for (int c = 0; c < columns; ++c) {
                    checkpoint = ExecStep::AddFirstCell;
                    recordingFailure([&] {
                        if (c == 0) {
                            window.addRowUtf8(store.value(r, c));
                            rowAdded = true;
                        } else if (rowAdded) {
                            // Without its own row a cell would land in the row before and
                            // overwrite what that row shows.
                            checkpoint = ExecStep::AddCell;
                            window.setCellUtf8(window.rowCount(), c, store.value(r, c));
                        }
                    });
                }
            }
            window.endBulkUpdate();
        }
        checkpoint = ExecStep::Report;
        recordingFailure([&] {
            const QString errorText = toQString(error);
            // Stop's code adds no words of its own, and a result cut short must not read as whole.
            if (errorText.isEmpty() && status == KEST_ABORT && state.ExecStopped)
                statusMessage += StoppedText();
            else if (errorText.isEmpty())
                AppendStatusText(QueryPath::RowCallback, status, statusMessage);
            else
                statusMessage = errorText;
        });
        statusCode = status;
    }
    // With nothing run the library's count would be that of some earlier run: none is reported.
    checkpoint = ExecStep::Close;
    recordingFailure([&] { library.sqlite3_close(handle); });
    return rows;
}

} // namespace kest
