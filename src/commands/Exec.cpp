#include "Exec.h"

#include "CommandHost.h"
#include "Commands.h"
#include "DBExec.h"
#include "Desktop.h"
#include "EventPump.h"
#include "IgnoringFailure.h"
#include "Paths.h"
#include "ProgramState.h"
#include "QuerySteps.h"
#include "StatusTexts.h"
#include "WindowPort.h"

#include <QFileInfo>
#include <QLocale>

namespace kest {
namespace {

constexpr double BytesPerMegabyte = 1048576.0;
const QString LineBreak = QStringLiteral("\r\n");

struct ExportAbandoned {};

void offerCsvExport(CommandHost &host)
{
    ProgramState &state = host.state();
    Desktop &desktop = host.desktop();
    const QString csvPath = CsvOutputPath(host.programFolder());
    const bool redirected = DataFolder(host.programFolder()) != host.programFolder();
    if (desktop.message(CsvQuestion(csvPath, state.ExecStopped), CsvQuestionTitle, MessageButtons::YesNo, MessageIcon::Question) !=
        MessageAnswer::Yes)
        return;
    host.port().refresh();
    bool saved = false;
    // Every row is on disk already, as CSV: the export names that file (or copies it, letting
    // window messages run now and then; Stop has no effect on it, Exit abandons it: the
    // unfinished file is removed, an earlier one stays).
    const auto letMessagesRun = [&state] {
        eventPump().letMessagesRun();
        if (state.ExitRequested)
            throw ExportAbandoned();
    };
    if (state.ExecRowsOnDisk.saveAs(csvPath, letMessagesRun)) {
        const int64_t length = QFileInfo(csvPath).size();
        if (length > 0) {
            saved = true;
            desktop.message(CsvWrittenMessage(length, host.numberLocale(), redirected ? csvPath : QString()),
                            CsvWrittenTitle, MessageButtons::Ok, MessageIcon::Information);
        }
    }
    if (!saved)
        desktop.message(CsvFailedMessage(csvPath), CsvFailedTitle, MessageButtons::Ok, MessageIcon::Critical);
}

} // namespace

QString CsvQuestion(const QString &csvPath, bool stopped)
{
    const QString cutShort = QStringLiteral("The query was stopped: these are only the rows found before the stop") +
                             LineBreak + LineBreak;
    return (stopped ? cutShort : QString()) + QStringLiteral("Only the first ") + QString::number(ExecDisplayLimit) +
           QStringLiteral(" rows have been displayed to prevent system lockup") + LineBreak + LineBreak +
           QStringLiteral("You should consider refining your query (and avoid cross-joins)") + LineBreak + LineBreak +
           QStringLiteral("Would you like to save the rest in CSV format to: ") + LineBreak + LineBreak + csvPath;
}

QString CsvWrittenMessage(int64_t bytes, const QLocale &locale, const QString &redirectedPath)
{
    QLocale grouped = locale;
    grouped.setNumberOptions(grouped.numberOptions() & ~QLocale::OmitGroupSeparator);
    QString message = QStringLiteral("Length of the saved file was ") +
                      grouped.toString(static_cast<double>(bytes) / BytesPerMegabyte, 'f', 2) + QStringLiteral(" Mb");
    if (!redirectedPath.isEmpty())
        message += LineBreak + LineBreak + redirectedPath;
    return message;
}

QString CsvFailedMessage(const QString &csvPath)
{
    return QStringLiteral("Failed to save:") + LineBreak + LineBreak + csvPath;
}

void onExecClicked(CommandHost &host)
{
    ProgramState &state = host.state();
    WindowPort &window = host.port();

    QString path;
    QByteArray sql;
    IgnoringFailure([&] {
        path = DatabasePath(host);
        sql = host.querySql();
    });
    IgnoringFailure([&] { EmptyResults(window); });
    IgnoringFailure([&] { SwitchButtons(host, true); });
    IgnoringFailure([&] { window.setStatusText(QStringLiteral("Querying database ") + path); });
    state.StopRequested = false;
    IgnoringFailure([&] { window.setResultsVisible(false); });
    // Rows past those the list shows go to disk beside the CSV file, which the export then names.
    IgnoringFailure([&] { state.ExecRowsOnDisk.setFolder(DataFolder(host.programFolder())); });

    QString statusMessage;
    int16_t statusCode = 0;
    float elapsedSeconds = 0;
    int64_t rows = 0;
    IgnoringFailure([&] {
        rows = DBExec(Engine{host.library(), window, state}, path, sql, statusMessage, statusCode, elapsedSeconds);
    });
    if (state.ExitRequested)
        return; // the program is on its way out: no question, no export

    // A column is sized from up to a thousand of its cells: a hundred columns take a third of a
    // second, so the window answers between columns (a Clear meanwhile leaves none to size).
    IgnoringFailure([&] {
        for (int c = 0; c < window.columnCount() && !state.ExitRequested; ++c) {
            window.sizeColumnToContents(c);
            eventPump().letMessagesRun();
        }
    });
    if (state.ExitRequested)
        return;
    IgnoringFailure([&] {
        window.refreshResults();
        window.setResultsVisible(true);
    });
    IgnoringFailure([&] {
        window.setStatusText(QLatin1Char(' ') + FormatRowCount(rows, host.numberLocale()) + QStringLiteral(" rows") +
                             StatusCodeAndMessage(statusCode, statusMessage));
        window.refresh();
    });
    if (state.ExecRowCount > ExecDisplayLimit)
        IgnoringFailure([&] { offerCsvExport(host); });
    if (state.ExitRequested)
        return;
    IgnoringFailure([&] { window.refresh(); });
    IgnoringFailure([&] {
        state.ExecResults.clear();
        state.ExecRowsOnDisk.discard();
    });
    IgnoringFailure([&] { AddQueryTimeToStatusBar(window, elapsedSeconds, host.numberLocale()); });
    IgnoringFailure([&] { SwitchButtons(host, false); });
    IgnoringFailure([&] { host.focusButton(Button::Exec); });
}

} // namespace kest
