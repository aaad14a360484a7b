#pragma once
// How the query engine and the commands reach the main window. The engine links QtCore only, so
// it sees the window through this interface and never through a widget.

#include "CellValue.h"
#include "KestruneBinding.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <string_view>

namespace kest {

class WindowPort {
public:
    virtual ~WindowPort() = default;

    // The status bar's one text. Commands build messages by reading it and writing it back.
    virtual QString statusText() const = 0;
    virtual void setStatusText(const QString &text) = 0;
    // Repaints the window now, so a new status text shows while a long statement still runs.
    virtual void refresh() = 0;

    // The results list `resultsView`.
    virtual void removeAllRows() = 0;
    virtual void removeAllColumns() = 0;
    // Columns with the list's default width and alignment, in one insertion: one by one, each
    // made the list's header measure its sections again (seconds for 2,000 columns).
    virtual void addColumns(const QStringList &headers) = 0;
    // Rows and cells in UTF-8 with their types, as the library hands them out. `row` counts from
    // 1, `column` from 0; a column beyond the last one widens the list.
    virtual void addRowUtf8(const CellValue &firstCell) = 0;
    virtual void setCellUtf8(int row, int column, const CellValue &value) = 0;
    // Between these two, rows and cells are added without telling the list's view about each
    // one; it hears of all of them at the end. Thousands of rows then cost no more than one.
    // The window answers between rows; once a Clear or the closing window has emptied the list
    // meanwhile, the rest of the rows and cells are not added.
    virtual void beginBulkUpdate() = 0;
    virtual void endBulkUpdate() = 0;
    virtual int rowCount() const = 0;
    virtual int columnCount() const = 0;
    // Shows a whole result table without copying a cell: row 0 gives the column names, rows 1 to
    // `dataRows` the rows. The list owns the table from now on and frees it when it is emptied.
    // The rows arrive in the list in batches, `betweenBatches` called between two.
    virtual void adoptTable(KestTable table, int dataRows, const std::function<void()> &betweenBatches) = 0;
    // The wider of the header and the widest cell; only a bounded sample of rows is measured,
    // so sizing stays fast for hundreds of thousands of rows.
    virtual void sizeColumnToContents(int column) = 0;
    virtual void setResultsVisible(bool visible) = 0;
    virtual void refreshResults() = 0;
};

} // namespace kest
