#include "DemoDatabase.h"

#include "CommandHost.h"
#include "Commands.h"
#include "DBQuery.h"
#include "DemoData.h"
#include "DemoQueries.h"
#include "Desktop.h"
#include "IgnoringFailure.h"
#include "Paths.h"
#include "ProgramState.h"
#include "QueryClock.h"
#include "QuerySteps.h"
#include "StatusTexts.h"
#include "WindowPort.h"

#include <QScopeGuard>

#include <limits>
#include <optional>

namespace kest {
namespace {

// The statements of one click, run one call each against the same database. The status code
// carries over from call to call, because the engine writes it only when the statement ran;
// a call that did not get that far (the database could not be opened, nothing to run) would
// otherwise pass for whatever the previous call left, so it counts as failed by itself.
class Statements {
public:
    Statements(CommandHost &host, QString path)
        : engine_{host.library(), host.port(), host.state()}, path_(std::move(path))
    {
    }

    // Whether the statement ran and the engine answered 0.
    bool run(const QString &sql)
    {
        int16_t written = NotWritten;
        IgnoringFailure([&] { DBQuery(engine_, path_, sql, statusMessage_, written, callSeconds_); });
        if (written == NotWritten)
            return false;
        statusCode_ = written;
        return statusCode_ == 0;
    }

    // Exit was pressed during the call: the program is on its way out, nothing more may start.
    bool leaving() const { return engine_.state.ExitRequested; }

private:
    // No result code of the engine is negative.
    static constexpr int16_t NotWritten = std::numeric_limits<int16_t>::min();

    Engine engine_;
    QString path_;
    QString statusMessage_; // the engine's words for each call; the outcome alone is shown
    int16_t statusCode_ = 0;
    float callSeconds_ = 0; // the engine's timing of one call; the commands time the whole click
};

// The buttons while Populate or Drop runs its statements one after another (Commands.h), until
// the scope ends; on the way out of the program the window is left alone.
auto buttonsWhileRunning(CommandHost &host)
{
    IgnoringFailure([&] { SwitchButtons(host, true, false); });
    return qScopeGuard([&host] {
        if (!host.state().ExitRequested)
            IgnoringFailure([&] { SwitchButtons(host, false, false); });
    });
}

MessageAnswer ask(CommandHost &host, const QString &prompt, const QString &title)
{
    // A box that fails to show counts as No: nothing is changed that the user did not confirm.
    MessageAnswer answer = MessageAnswer::No;
    IgnoringFailure([&] { answer = host.desktop().message(prompt, title, MessageButtons::YesNo, MessageIcon::None); });
    return answer;
}

void setStatus(WindowPort &window, const QString &text)
{
    IgnoringFailure([&] { window.setStatusText(text); });
}

struct FillStep {
    QLatin1StringView status;
    QString (*sql)();
};

constexpr FillStep FillSteps[] = {
    {QLatin1StringView("Creating Artist table..."), [] { return QString(CreateArtistsTableSql); }},
    {QLatin1StringView("Creating CDs table..."), [] { return QString(CreateCDsTableSql); }},
    {QLatin1StringView("Inserting Artists data - (this may take a while)..."), BuildArtistsScript},
    {QLatin1StringView("Inserting CDs data (this may take a while) ..."), BuildCDsScript},
};

// Drop after the empty-box check: the seconds that the two statements took, 0 when nothing ran.
float dropConfirmedTables(CommandHost &host)
{
    if (ask(host, QStringLiteral("Do you want to drop (delete) the Artists and CDs tables"),
            QStringLiteral("WARNING: About to delete data")) != MessageAnswer::Yes)
        return 0;

    WindowPort &window = host.port();
    QString path;
    IgnoringFailure([&] { path = DatabasePath(host); });
    Statements statements(host, path);
    const auto buttons = buttonsWhileRunning(host);
    setStatus(window, QStringLiteral("Attempting to drop the Artists and CDs tables"));

    bool allSucceeded = true;
    const QueryClock clock;
    if (statements.run(DropArtistsTableSql))
        setStatus(window, QStringLiteral("Dropped table Artists OK"));
    else
        allSucceeded = false;
    if (statements.leaving())
        return 0;
    const bool cdsDropped = statements.run(DropCDsTableSql);
    const float elapsed = clock.elapsedSeconds();
    if (statements.leaving())
        return 0;
    if (cdsDropped)
        IgnoringFailure([&] { window.setStatusText(window.statusText() + QStringLiteral("Dropped table CDs OK")); });
    else
        allSucceeded = false;

    setStatus(window, allSucceeded ? QStringLiteral("Successfully dropped Artists and CDs tables")
                                   : QStringLiteral("Failed to drop at at least 1 table: "));
    IgnoringFailure([&] { EmptyResults(window); });
    return elapsed;
}

} // namespace

void onPopulateClicked(CommandHost &host)
{
    if (host.databaseText().isEmpty()) {
        IgnoringFailure([&] {
            host.desktop().message(
                QStringLiteral("No SQLite database specified - please select one or type in a new name"), QString(),
                MessageButtons::Ok, MessageIcon::None);
        });
        return;
    }
    if (ask(host, QStringLiteral("Do you want to create the Artists and CDs tables in the current database"),
            QStringLiteral("About to create new tables")) != MessageAnswer::Yes)
        return;

    WindowPort &window = host.port();
    bool allSucceeded = true;
    QString path;
    IgnoringFailure([&] { path = DatabasePath(host); });
    Statements statements(host, path);
    const auto buttons = buttonsWhileRunning(host);

    std::optional<QueryClock> clock;
    for (const FillStep &step : FillSteps) {
        setStatus(window, step.status);
        QString sql;
        IgnoringFailure([&] { sql = step.sql(); });
        if (!clock)
            clock.emplace();
        if (!statements.run(sql))
            allSucceeded = false;
        if (statements.leaving())
            return;
    }

    setStatus(window, QStringLiteral("Performing a simple example query ..."));
    IgnoringFailure([&] { host.setQueryText(ExampleQuerySql); });
    // The engine adds its columns and rows to whatever the list holds.
    IgnoringFailure([&] { EmptyResults(window); });
    if (!statements.run(ExampleQuerySql))
        allSucceeded = false;
    const float elapsed = clock->elapsedSeconds();
    if (statements.leaving())
        return;

    setStatus(window, allSucceeded ? QStringLiteral("Successfully created tables and inserted Artist and CDs data: ")
                                   : QStringLiteral("Failed to create a new table or add some data to the Artists "
                                                    "or CDs table: "));
    IgnoringFailure([&] { AddQueryTimeToStatusBar(window, elapsed, host.numberLocale()); });
}

void onDropClicked(CommandHost &host)
{
    float elapsed = 0;
    if (host.databaseText().isEmpty()) {
        IgnoringFailure([&] {
            host.desktop().message(QStringLiteral("No database table specified"),
                                   QStringLiteral("SQLite Database Required"), MessageButtons::Ok,
                                   MessageIcon::Critical);
        });
    } else {
        elapsed = dropConfirmedTables(host);
    }
    if (host.state().ExitRequested)
        return;
    IgnoringFailure([&] { AddQueryTimeToStatusBar(host.port(), elapsed, host.numberLocale()); });
}

} // namespace kest
