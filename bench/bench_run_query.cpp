// Run Query inside one warm process (window_bench.py compares a fresh program with the shell):
//  - the whole cross join of the demonstration tables, from the click until every row is in the
//    list and the status line is written, and the memory it takes beyond the text of the cells;
//  - the cost of the progress callback on a long count;
//  - how soon Stop ends a long statement.

#include "BenchSupport.h"
#include "DBQuery.h"
#include "KestruneBinding.h"
#include "ProgramState.h"
#include "QtDesktop.h"
#include "ResultsModel.h"
#include "RunQuery.h"
#include "Startup.h"
#include "WindowPort.h"

#include <kestrune3.h>

#include <QApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <cstdio>

using namespace kest;
using namespace kest::bench;
using Clock = std::chrono::steady_clock;

namespace {

const QString CrossJoin = QStringLiteral("SELECT * FROM Artists a, CDs c, CDs d");
const QString LongCount = QStringLiteral("SELECT count(*) FROM CDs a, CDs b, CDs c");
const QString EndlessCount = QStringLiteral("SELECT count(*) FROM CDs a, CDs b, CDs c, CDs d");
constexpr int Runs = 3;

double runQuery(MainWindow &window, const QString &sql)
{
    window.queryEdit->setPlainText(sql);
    const auto start = Clock::now();
    onRunQueryClicked(window);
    return Seconds(start, Clock::now());
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString database = dir.filePath(QStringLiteral("Albums.db"));
    BuildDemoDatabase(database);

    QtDesktop desktop;
    ProgramState state;
    KestruneBinding library;
    auto window = openMainWindow(library, desktop, state).window;
    if (!window)
        return 1;
    window->show();
    window->databaseEdit->setText(database);
    QApplication::processEvents();

    std::printf("Run Query benchmarks: %s, platform %s\n", qPrintable(window->windowTitle()),
                qPrintable(QGuiApplication::platformName()));

    // The whole cross join: 1,082,016 rows of 10 columns. Against the shell, where the user
    // waits (a fresh program), window_bench.py measures: this is the warm figure.
    std::vector<double> times;
    int64_t peakBeyondStart = 0;
    for (int i = 0; i < Runs; ++i) {
        window->button(Button::Clear)->click(); // Clear, so each run starts from an empty list
        QApplication::processEvents();
        const int64_t before = CurrentMemoryBytes();
        ResetPeakMemory();
        times.push_back(runQuery(*window, CrossJoin));
        peakBeyondStart = PeakMemoryBytes() - before;
    }
    const double runQuerySeconds = Median(times);
    ResultsModel &list = window->results();
    const int64_t rows = list.rowCount();
    const int64_t cells = (rows + 1) * list.columnCount();
    int64_t textBytes = 0;
    for (int c = 0; c < list.columnCount(); ++c) {
        textBytes += list.headerData(c, Qt::Horizontal).toString().toUtf8().size();
        for (int r = 0; r < rows; ++r)
            textBytes += list.cellText(r, c).toUtf8().size();
    }
    std::printf("%s: %lld rows x %d columns\n", qPrintable(CrossJoin), static_cast<long long>(rows), list.columnCount());
    std::printf("  status line: %s\n", qPrintable(window->port().statusText()));
    std::printf("  Run Query in this process, click to status line: %.3f s\n", runQuerySeconds);
    std::printf("  peak memory of the run: %.1f MB, cell text %.1f MB, %lld cells\n", peakBeyondStart / 1e6,
                textBytes / 1e6, static_cast<long long>(cells));
    Verdict("peak bytes per cell beyond the text", double(peakBeyondStart - textBytes) / double(cells), 40.0);

    // The progress callback's cost: the same count through Run Query (window shown) and through
    // the library with no progress handler, in turns so that a busy moment of the machine falls
    // on both alike. Nine runs each: the statement takes a tenth of a second.
    constexpr int CountRuns = 9;
    std::vector<double> withTimes;
    times.clear();
    for (int i = 0; i < CountRuns; ++i) {
        // The engine's own timing covers the table call alone, as the statement's time should.
        QString message;
        int16_t code = 0;
        float statementSeconds = 0;
        window->button(Button::Clear)->click();
        DBQuery(Engine{library, window->port(), state}, database, LongCount, message, code, statementSeconds);
        withTimes.push_back(statementSeconds);

        int32_t db = 0;
        kest_sqlite3_open_v2(database.toUtf8().constData(), &db, 6, nullptr);
        kest_table *table = nullptr;
        const auto start = Clock::now();
        kest_sqlite_get_table(&table, db, LongCount.toUtf8().constData(), nullptr, nullptr);
        times.push_back(Seconds(start, Clock::now()));
        kest_free_table(table);
        kest_sqlite3_close(&db);
    }
    const double withProgress = Median(withTimes);
    std::printf("%s\n", qPrintable(LongCount));
    const double withoutProgress = Median(times);
    std::printf("  with the progress callback: %.3f s; without a progress handler: %.3f s\n", withProgress,
                withoutProgress);
    Verdict("progress overhead ratio", withProgress / withoutProgress, 1.15);

    // Stop: from the click to the final status line.
    std::vector<double> latencies;
    for (int i = 0; i < 7; ++i) {
        Clock::time_point clicked{};
        QTimer::singleShot(200, [&] {
            clicked = Clock::now();
            window->button(Button::Stop)->click();
        });
        runQuery(*window, EndlessCount);
        latencies.push_back(Seconds(clicked, Clock::now()) * 1000);
    }
    std::printf("%s stopped after 200 ms, 7 times\n  status line: %s\n", qPrintable(EndlessCount),
                qPrintable(window->port().statusText()));
    Verdict("median Stop latency, ms", Median(latencies), 100);
    return 0;
}
