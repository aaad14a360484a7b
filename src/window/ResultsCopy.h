#pragma once
// Rows of the results list `lvResults` copied elsewhere: Ctrl+C or the context menu's Copy puts
// the selected rows on the clipboard as tab-separated text, the column names first, CR LF after
// every line; Ctrl+A (or Select All) selects every row.

#include <QObject>
#include <QString>

#include <vector>

class QTableView;

namespace kest {

class Desktop;
class ResultsModel;

// The column names and then `rows` of `model`, in that order: cells separated by tabs, each
// line ended by CR LF. A cell that holds a tab or a line break, or starts with a double quote,
// is put in double quotes with its own quotes doubled, so that a spreadsheet pasting the text
// reads the cell back whole.
QString RowsAsText(const ResultsModel &model, const std::vector<int> &rows);

class ResultsCopy : public QObject {
    Q_OBJECT
public:
    // Owned by `list`, whose model is `model`.
    ResultsCopy(QTableView *list, const ResultsModel &model, Desktop &desktop);

    void copySelectedRows();

private:
    QTableView *list_;
    const ResultsModel &model_;
    Desktop &desktop_;
};

} // namespace kest
