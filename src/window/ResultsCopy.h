#pragma once
// Rows of the results list `resultsView` copied elsewhere: Ctrl+C or the context menu's Copy puts
// the selected rows on the clipboard as tab-separated text, the column names first, CR LF after
// every line (WriteTabText); Ctrl+A (or Select All) selects every row. The text is drawn from the
// memory budget while it is on the clipboard, until something replaces it there: a text that
// does not fit is not put there, and a message says so.

#include "CountedText.h"
#include "files/Csv.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class QTableView;

namespace kest {

class Desktop;
class ResultsModel;

// The column names and then `rows` of `model`, as the writers of CSV and the other formats
// (CopyFormats.h) read rows.
class SelectedRows final : public CsvRows {
public:
    SelectedRows(const ResultsModel &model, std::vector<int> rows);
    int64_t rowCount() const override { return static_cast<int64_t>(rows_.size()) + 1; }
    int columnCount(int64_t) const override;
    std::string_view cell(int64_t row, int column) const override;
    CellValue value(int64_t row, int column) const override;

private:
    const ResultsModel &model_;
    std::vector<int> rows_;
    std::vector<QByteArray> names_;
};

// What the copy says when the selected rows do not fit in the memory budget.
extern const QString CopyTooLargeMessage;
extern const QString CopyTooLargeTitle;

class ResultsCopy : public QObject {
    Q_OBJECT
public:
    // Owned by `list`, whose model is `model`. The text is counted against `budget` (nullptr:
    // not counted).
    ResultsCopy(QTableView *list, const ResultsModel &model, Desktop &desktop, MemoryBudget *budget = nullptr);
    ~ResultsCopy() override;

    void copySelectedRows();
    // The selected rows, each once, in the list's order.
    std::vector<int> selectedRows() const;
    // Puts the text that `write` writes on the clipboard, counted against the budget
    // (CountedText.h) until something replaces it there. A text that the budget refuses is not
    // put there: the message `tooLarge` is shown instead.
    void copyText(const CountedText::Writer &write, const QString &tooLarge);
    // What the copies are counted against (nullptr: not counted).
    MemoryBudget *budget() const { return budget_; }

private:
    QTableView *list_;
    const ResultsModel &model_;
    Desktop &desktop_;
    MemoryBudget *budget_;
    // The text now on the clipboard, which shares its memory, held until anything replaces it there.
    std::unique_ptr<CountedText> onClipboard_;
};

} // namespace kest
