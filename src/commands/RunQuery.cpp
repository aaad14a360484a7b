#include "RunQuery.h"

#include "CommandHost.h"
#include "Commands.h"
#include "DBQuery.h"
#include "IgnoringFailure.h"
#include "Paths.h"
#include "ProgramState.h"
#include "QuerySteps.h"
#include "StatusTexts.h"
#include "WindowPort.h"

namespace kest {

void onRunQueryClicked(CommandHost &host)
{
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
    IgnoringFailure([&] { SwitchButtons(host, true); });
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
    IgnoringFailure([&] { SwitchButtons(host, false); });
}

} // namespace kest
