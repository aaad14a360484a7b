// Exec inside one warm process (window_bench.py compares a fresh program with the shell):
//  - the cross join of the demonstration tables (1,082,016 rows) and its CSV export, from the
//    click to the closed file, with and without the 10 ms pauses of the progress text;
//  - the memory of the click: the rows past those the list shows go to disk, so it is the shown
//    rows and a small constant, not the result;
//  - how soon the list shows its 25000 rows once the statement has ended.

#include "BenchSupport.h"
#include "DBExec.h"
#include "Desktop.h"
#include "Exec.h"
#include "KestruneBinding.h"
#include "ProgramState.h"
#include "ResultsModel.h"
#include "Startup.h"
#include "WindowPort.h"

#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <thread>

using namespace kest;
using namespace kest::bench;
using Clock = std::chrono::steady_clock;

namespace {

const QString CrossJoin = QStringLiteral("SELECT * FROM Artists a, CDs c, CDs d");
constexpr int Runs = 5;
constexpr int Columns = 10;

// Answers Yes to the CSV question and OK to the rest, at once.
class AnsweringDesktop final : public Desktop {
public:
    MessageAnswer message(const QString &, const QString &, MessageButtons buttons, MessageIcon) override
    {
        return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
    }
    QString openFileName(const QString &, const QList<FileType> &) override { return {}; }
    void setClipboardText(const QString &, std::function<void()>) override {}
    QString clipboardText() override { return {}; }
    bool openUrl(const QString &, int) override { return false; }
};

// How long the progress text's pauses last on this machine: a sleep of 10 ms overshoots a little,
// and that is waiting, not the program's work.
double PausesSeconds(int count)
{
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return Seconds(start, Clock::now());
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString database = dir.filePath(QStringLiteral("Albums.db"));
    BuildDemoDatabase(database);

    AnsweringDesktop desktop;
    ProgramState state;
    KestruneBinding library;
    auto window = openMainWindow(library, desktop, state).window;
    if (!window)
        return 1;
    window->setProgramFolder(dir.path());
    window->show();
    window->databaseEdit->setText(database);
    window->queryEdit->setPlainText(CrossJoin);
    QApplication::processEvents();
    const QString csvPath = dir.filePath(QStringLiteral("Kestrune-output.csv"));

    std::vector<double> times;
    int64_t peak = 0;
    for (int i = 0; i < Runs; ++i) {
        window->button(Button::Clear)->click();
        QApplication::processEvents();
        const int64_t before = CurrentMemoryBytes();
        ResetPeakMemory();
        const auto start = Clock::now();
        onExecClicked(*window);
        times.push_back(Seconds(start, Clock::now()));
        peak = PeakMemoryBytes() - before;
    }
    const double withPauses = Median(times);
    const int64_t rows = state.ExecRowCount;
    const int pauseCount = static_cast<int>(rows / 5000);
    const double pauses = PausesSeconds(pauseCount);
    const double withoutPauses = withPauses - pauses;
    const int64_t csvBytes = QFileInfo(csvPath).size();
    // Every cell is quoted, cells are separated by commas, lines end in CR LF; no cell holds a quote.
    const int64_t textBytes = csvBytes - rows * (2 * Columns + (Columns - 1) + 2);
    const int64_t cells = rows * Columns;

    std::printf("Exec benchmarks\n%s: %lld rows x %d columns, CSV %.1f MB\n", qPrintable(CrossJoin),
                static_cast<long long>(rows), Columns, csvBytes / 1e6);
    std::printf("  status line: %s\n", qPrintable(window->port().statusText()));
    // Against the shell, where the user waits, window_bench.py measures: this is the warm figure.
    std::printf("  Exec and CSV export in this process, click to closed file: %.3f s with the %d pauses "
                "(%.3f s of sleep), %.3f s without\n",
                withPauses, pauseCount, pauses, withoutPauses);
    std::printf("  peak memory of the click: %.1f MB, cell text %.1f MB, %lld cells\n", peak / 1e6, textBytes / 1e6,
                static_cast<long long>(cells));
    Verdict("peak MiB of the click (shown rows, list, a block of CSV)", double(peak) / (1 << 20), 64.0);

    // From the end of the statement to 25000 rows in the list: the copy into the list, the column
    // sizes and the first paint of the shown list.
    std::vector<double> showTimes, statementTimes, exportTimes;
    for (int i = 0; i < Runs; ++i) {
        window->button(Button::Clear)->click();
        window->port().setResultsVisible(false);
        QString message;
        int16_t code = 0;
        float statementSeconds = 0;
        const auto start = Clock::now();
        DBExec(Engine{library, window->port(), state}, database, CrossJoin, message, code, statementSeconds);
        const auto copied = Clock::now();
        for (int c = 0; c < window->port().columnCount(); ++c)
            window->port().sizeColumnToContents(c);
        window->port().setResultsVisible(true);
        window->repaint();
        const auto shown = Clock::now();
        showTimes.push_back((Seconds(start, copied) - statementSeconds + Seconds(copied, shown)) * 1000);
        statementTimes.push_back(statementSeconds - pauses);
        const auto exportStart = Clock::now();
        state.ExecRowsOnDisk.saveAs(csvPath, {});
        exportTimes.push_back(Seconds(exportStart, Clock::now()));
        state.ExecResults.clear();
        state.ExecRowsOnDisk.discard();
    }
    std::printf("  list rows after the statement: %d\n", window->results().rowCount());
    std::printf("  parts: statement with the row callback %.3f s (pauses taken off), CSV export %.3f s\n",
                Median(statementTimes), Median(exportTimes));
    Verdict("ms from the statement's end to 25000 rows shown", Median(showTimes), 100);
    return 0;
}
