#include "RunQuery.h"

#include "CommandHost.h"
#include "QuerySteps.h"
#include "CommandStep.h"
#include "DBQuery.h"
#include "ModuleState.h"
#include "Paths.h"
#include "QueryTiming.h"
#include "WindowPort.h"

namespace kest {
namespace {

// The buttons that a run disables, in the order they are switched.
constexpr Button DisabledDuringRun[] = {Button::Command5, Button::Command9, Button::Command10, Button::Command11};

} // namespace

void Command1_Click(CommandHost &host)
{
    const QueryRunGuard guard(host.state());
    if (!guard.acquired())
        return;
    WindowPort &window = host.port();

    QString path;
    QByteArray sql;
    Step([&] {
        path = DatabasePath(host);
        sql = host.querySql();
    });
    Step([&] { EmptyResults(window); });
    QString savedCaption;
    Step([&] {
        savedCaption = host.buttonCaption(Button::Command1);
        host.setButtonCaption(Button::Command1, QStringLiteral("Querying..."));
    });
    Step([&] {
        for (Button b : DisabledDuringRun)
            host.setButtonEnabled(b, false);
        host.setButtonEnabled(Button::Command14, true);
        host.setButtonEnabled(Button::Command12, false);
    });
    Step([&] { window.setStatusText(QStringLiteral("Querying database ") + path); });

    QString statusMessage;
    int16_t statusCode = 0;
    float elapsedSeconds = 0;
    int32_t rows = 0;
    Step([&] {
        rows = DBQuery(Engine{host.library(), window, host.state()}, path, sql, statusMessage, statusCode,
                       elapsedSeconds);
    });
    if (host.state().ExitRequested)
        return; // the program is on its way out

    Step([&] {
        window.setStatusText(FormatRowCount(rows, host.numberLocale()) + QStringLiteral(" rows") +
                             StatusCodeAndMessage(statusCode, statusMessage));
    });
    Step([&] { AddQueryTimeToStatusBar(window, elapsedSeconds, host.numberLocale()); });
    Step([&] { host.setButtonCaption(Button::Command1, savedCaption); });
    Step([&] {
        for (Button b : DisabledDuringRun)
            host.setButtonEnabled(b, true);
        host.setButtonEnabled(Button::Command14, false);
        host.setButtonEnabled(Button::Command12, true);
    });
}

} // namespace kest
