#pragma once
// The results list's context menu beyond Copy and Select All (ResultsCopy.h), opened by the
// mouse or the keyboard's menu key: the selected rows copied as CSV (cells as the export writes
// them, the column names first), JSON, a Markdown table or SQL INSERT statements into a table
// the user names (CopyFormats.h), each counted against the memory budget as Copy is; and View
// Cell, the current cell's whole value in a viewer (CellViewer.h), which Enter and a
// double-click on a cell open too.

#include <QObject>
#include <QString>

class QModelIndex;
class QTableView;

namespace kest {

class Desktop;
class ResultsCopy;
class ResultsModel;

enum class CopyFormat { Csv, Json, Markdown, Inserts };

// What the INSERT statements' table name is asked with.
extern const QString InsertTablePrompt;
extern const QString InsertTableTitle;

class ResultsMenu : public QObject {
    Q_OBJECT
public:
    // Owned by `list`, whose model is `model`; `copy` puts texts on the clipboard.
    ResultsMenu(QTableView *list, const ResultsModel &model, ResultsCopy &copy, Desktop &desktop);

    void copySelectedRowsAs(CopyFormat format);
    void viewCell(const QModelIndex &index);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QTableView *list_;
    const ResultsModel &model_;
    ResultsCopy &copy_;
    Desktop &desktop_;
    // The table the last INSERT statements were for, offered again.
    QString table_ = QStringLiteral("results");
};

} // namespace kest
