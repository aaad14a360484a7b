// Copying rows of the results list: 25000 rows of 10 columns selected with Ctrl+A and put on the
// real clipboard as tab-separated text, from the Copy command to the text on the clipboard.

#include "BenchSupport.h"
#include "QtDesktop.h"
#include "ResultsCopy.h"
#include "ResultsModel.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QTableView>

#include <cstdio>
#include <string>

using namespace kest;
using namespace kest::bench;
using Clock = std::chrono::steady_clock;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    constexpr int Rows = 25000, Columns = 10, Runs = 7;
    ResultsModel model;
    model.beginBulkUpdate();
    for (int c = 0; c < Columns; ++c)
        model.addColumn(QStringLiteral("Column%1").arg(c));
    // Cells like the demonstration data's: ids, names and titles of a few to some tens of letters.
    for (int r = 0; r < Rows; ++r) {
        model.addRowUtf8(std::to_string(r + 1));
        for (int c = 1; c < Columns; ++c)
            model.setCellUtf8(r, c, c % 3 ? "Title of album " + std::to_string(r) + " by artist " + std::to_string(c)
                                          : std::to_string(r * c));
    }
    model.endBulkUpdate();

    QTableView list;
    list.setModel(&model);
    QtDesktop desktop;
    new ResultsCopy(&list, model, desktop);
    list.show();
    list.selectAll();
    QAction *copy = list.actions().value(0);

    std::vector<double> seconds;
    qsizetype length = 0;
    for (int run = 0; run < Runs; ++run) {
        QGuiApplication::clipboard()->clear();
        const auto start = Clock::now();
        copy->trigger();
        seconds.push_back(Seconds(start, Clock::now()));
        length = QGuiApplication::clipboard()->text().size();
        app.processEvents();
    }
    std::printf("Copy of %d rows x %d columns (%lld characters), platform %s, median of %d runs:\n", Rows,
                Columns, static_cast<long long>(length), qPrintable(QGuiApplication::platformName()), Runs);
    Verdict("Ctrl+C to the text on the clipboard, seconds", Median(seconds), 0.25);
    return 0;
}
