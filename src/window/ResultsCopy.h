#pragma once
// Rows of the results list `resultsView` copied elsewhere: Ctrl+C or the context menu's Copy puts
// the selected rows on the clipboard as tab-separated text, the column names first, CR LF after
// every line; Ctrl+A (or Select All) selects every row. The text is drawn from the memory
// budget while it is built and while it is on the clipboard, until something replaces it there:
// a text that does not fit is not put there, and a message says so.

#include "engine/MemoryBudget.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QTableView;

namespace kest {

class Desktop;
class ResultsModel;

// The column names and then `rows` of `model`, in that order: cells separated by tabs, each
// line ended by CR LF. A cell that holds a tab or a line break, or starts with a double quote,
// is put in double quotes with its own quotes doubled, so that a spreadsheet pasting the text
// reads the cell back whole. With a `reservation`, the text's memory is counted in it as the
// text grows; nothing (std::nullopt) when the budget refuses more.
std::optional<QString> RowsAsText(const ResultsModel &model, const std::vector<int> &rows,
                                  BudgetReservation *reservation = nullptr);

// What the copy says when the selected rows do not fit in the memory budget.
extern const QString CopyTooLargeMessage;
extern const QString CopyTooLargeTitle;

class ResultsCopy : public QObject {
    Q_OBJECT
public:
    // Owned by `list`, whose model is `model`. The text is counted against `budget` (nullptr:
    // not counted).
    ResultsCopy(QTableView *list, const ResultsModel &model, Desktop &desktop, MemoryBudget *budget = nullptr);

    void copySelectedRows();
    // The selected rows, each once, in the list's order.
    std::vector<int> selectedRows() const;
    // Puts the text that `make` builds on the clipboard. `make` counts the text's memory in the
    // reservation it is given as the text grows, and gives nothing (or throws std::bad_alloc)
    // when the budget refuses it: then the message `tooLarge` is shown instead. The text stays
    // counted until something replaces it on the clipboard.
    void copyText(const std::function<std::optional<QString>(BudgetReservation &)> &make, const QString &tooLarge);

private:
    QTableView *list_;
    const ResultsModel &model_;
    Desktop &desktop_;
    MemoryBudget *budget_;
    // The memory of the text now on the clipboard, counted until anything replaces it there.
    std::unique_ptr<BudgetReservation> onClipboard_;
};

} // namespace kest
