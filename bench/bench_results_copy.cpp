// Copying rows of the results list: 25000 rows of 10 columns selected with Ctrl+A and put on the
// real clipboard as tab-separated text, from the Copy command to the text on the clipboard. Then
// one cell of 40 MiB of char(1) copied as JSON (six bytes a byte): the memory it grows by against
// what the budget counted; and the viewer opened on a value of 1 MB nested 1,000 deep.

#include "BenchSupport.h"
#include "CellViewer.h"
#include "ResultsMenu.h"
#include "QtDesktop.h"
#include "ResultsCopy.h"
#include "ResultsModel.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QTableView>

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace kest;
using namespace kest::bench;
using Clock = std::chrono::steady_clock;

namespace {

// Counts what copies take, always granting it.
struct CountingBudget final : MemoryBudget {
    static inline int64_t held = 0, peak = 0;
    bool take(int64_t bytes) noexcept override
    {
        peak = std::max(peak, held += bytes);
        return true;
    }
    void give(int64_t bytes) noexcept override { held -= bytes; }
    void *allocate(std::size_t bytes, MemoryRelease &release) noexcept override
    {
        take(int64_t(bytes));
        release = [](void *memory, int64_t size) {
            held -= size;
            std::free(memory);
        };
        return std::malloc(bytes);
    }
};

void copyOneHugeCellAsJson(QtDesktop &desktop)
{
    ResultsModel model;
    model.addColumn(QStringLiteral("c"));
    model.addRowUtf8({std::string(40 << 20, '\1')});
    std::string deep = std::string(1000, '[') + '1';
    for (int i = 0; i < 500000; ++i)
        deep += ",1";
    model.addRowUtf8({deep + std::string(1000, ']')});
    QTableView list;
    list.setModel(&model);
    CountingBudget budget;
    auto *copy = new ResultsCopy(&list, model, desktop, &budget);
    auto *menu = new ResultsMenu(&list, model, *copy, desktop);
    list.selectRow(0);
    QGuiApplication::clipboard()->clear();
    ResetPeakMemory();
    const int64_t before = CurrentMemoryBytes();
    menu->copySelectedRowsAs(CopyFormat::Json);
    const int64_t grown = PeakMemoryBytes() - before;
    std::printf("One 40 MiB cell of char(1) as JSON: %lld characters; peak memory grew by %.0f MiB, the budget counted "
                "at most %.0f MiB\n",
                static_cast<long long>(QGuiApplication::clipboard()->text().size()), double(grown) / (1 << 20),
                double(CountingBudget::peak) / (1 << 20));
    Verdict("Memory grown past what was counted, MiB", double(grown - CountingBudget::peak) / (1 << 20), 0);
    QGuiApplication::clipboard()->clear();

    const int64_t beforeViewer = CurrentMemoryBytes();
    ResetPeakMemory();
    const auto start = Clock::now();
    menu->viewCell(model.index(1, 0));
    const double opened = Seconds(start, Clock::now());
    std::printf("Viewer on %zu bytes nested 1,000 deep: peak memory grew by %.0f MiB\n", model.cellUtf8(1, 0).size(),
                double(PeakMemoryBytes() - beforeViewer) / (1 << 20));
    Verdict("Viewer on the deep JSON opened, seconds", opened, 1.0);
}

} // namespace

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
        model.addRowUtf8({std::to_string(r + 1)});
        for (int c = 1; c < Columns; ++c)
            model.setCellUtf8(r, c, {c % 3 ? "Title of album " + std::to_string(r) + " by artist " + std::to_string(c)
                                           : std::to_string(r * c)});
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
    copyOneHugeCellAsJson(desktop);
    return 0;
}
