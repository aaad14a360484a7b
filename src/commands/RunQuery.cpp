#include "RunQuery.h"

#include "CommandHost.h"
#include "QuerySteps.h"
#include "IgnoringFailure.h"
#include "DBQuery.h"
#include "ProgramState.h"
#include "Paths.h"
#include "StatusLine.h"
#include "WindowPort.h"

namespace kest {
namespace {

// The buttons that a run disables, in the order they are switched.
constexpr Button DisabledDuringRun[] = {Button::LoadScript, Button::Populate, Button::Drop, Button::Query1};

} // namespace

void onRunQueryClicked(CommandHost &host)
{
    const QueryRunGuard guard(host.state());
    if (!guard.acquired())
        return;
    WindowPort &window = host.port();

    QString path;
    QByteArray sql;
    IgnoringFailure([&] {
        path = DatabasePath(host);
        sql = host.querySql();
    });
    IgnoringFailure([&] { EmptyResults(window); });
    QString savedCaption;
    IgnoringFailure([&] {
        savedCaption = host.buttonCaption(Button::RunQuery);
        host.setButtonCaption(Button::RunQuery, QStringLiteral("Querying..."));
    });
    IgnoringFailure([&] {
        for (Button b : DisabledDuringRun)
            host.setButtonEnabled(b, false);
        host.setButtonEnabled(Button::Stop, true);
        host.setButtonEnabled(Button::Exec, false);
    });
    IgnoringFailure([&] { window.setStatusText(QStringLiteral("Querying database ") + path); });

    QString statusMessage;
    int16_t statusCode = 0;
    float elapsedSeconds = 0;
    int32_t rows = 0;
    IgnoringFailure([&] {
        rows = DBQuery(Engine{host.library(), window, host.state()}, path, sql, statusMessage, statusCode,
                       elapsedSeconds);
    });
    if (host.state().ExitRequested)
        return; // the program is on its way out

    IgnoringFailure([&] {
        window.setStatusText(FormatRowCount(rows, host.numberLocale()) + QStringLiteral(" rows") +
                             StatusCodeAndMessage(statusCode, statusMessage));
    });
    IgnoringFailure([&] { AddQueryTimeToStatusBar(window, elapsedSeconds, host.numberLocale()); });
    IgnoringFailure([&] { host.setButtonCaption(Button::RunQuery, savedCaption); });
    IgnoringFailure([&] {
        for (Button b : DisabledDuringRun)
            host.setButtonEnabled(b, true);
        host.setButtonEnabled(Button::Stop, false);
        host.setButtonEnabled(Button::Exec, true);
    });
}

} // namespace kest
