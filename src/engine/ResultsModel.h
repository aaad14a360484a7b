#pragma once
// The rows and columns of the results list `resultsView`. Rows added one by one keep their cells
// in a ByteArena (a few large buffers); a whole result table of the library is adopted as it
// is, so the table path never copies a cell. Adopting a table drops the rows held before.
// The rows are shown in the query's order or sorted (see sort()); they are kept as they came,
// with a map from row shown to row kept.

#include "KestruneBinding.h"
#include "ByteArena.h"
#include "CellValue.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <atomic>
#include <deque>
#include <functional>
#include <string_view>
#include <thread>
#include <vector>

namespace kest {

class ResultsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ResultsModel(QObject *parent = nullptr);
    ~ResultsModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    void multiData(const QModelIndex &index, QModelRoleDataSpan roles) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Removing all columns keeps the rows, which then show nothing until columns come back,
    // as the list control did; in practice the rows are removed first.
    void removeAllRows();
    void removeAllColumns();
    void addColumn(const QString &header);
    // Columns added together reach views in one announcement (see WindowPort::addColumns).
    void addColumns(const QStringList &headers);
    void addRowUtf8(const CellValue &firstCell);
    // `row` counts from 0 here and must be a row added one by one. A column beyond the last one
    // adds columns with empty headers.
    void setCellUtf8(int row, int column, const CellValue &value);
    // Row 0 of `table` gives the names of columns added after the present ones; rows 1 to
    // `dataRows` become rows. The table is kept, not copied, and freed with the library's own
    // function when the rows are removed. Rows the list held before are dropped.
    // Views hear of the rows in batches, with `betweenBatches` called between two; when it
    // empties the list, the rest of the rows are not added.
    void adoptTable(KestTable table, int dataRows, const std::function<void()> &betweenBatches = {});
    static constexpr int RowsPerBatch = 100000;

    // Rows and cells changed between these two are announced to views once, at the end.
    void beginBulkUpdate();
    void endBulkUpdate();

    // Rows added one by one draw their texts from `budget`.
    // A sort holds its keys and the new order counted against it too, and is not made when the
    // budget refuses them.
    void chargeTo(MemoryBudget *budget) noexcept
    {
        texts_.chargeTo(budget);
        budget_ = budget;
    }

    // What the list shows for SQL NULL, and what it says of it to a screen reader.
    static const QString NullText;
    static const QString NullDescription;

    // The most bytes of a cell's text that the list shows; a longer text shows its start and "…".
    static constexpr std::size_t LongestShownText = 1024;

    // The cell's text, whole; empty outside the list.
    QString cellText(int row, int column) const;
    // The column's name, whole (the header shows only the start of a long one); empty outside.
    QString columnName(int column) const;
    // The cell's text as the UTF-8 the library gave, whole; valid until rows are removed.
    std::string_view cellUtf8(int row, int column) const;
    // The cell with its storage class (its text as cellUtf8 gives it); an empty Text outside
    // the list, or when the library gives no types.
    CellValue cellValue(int row, int column) const;

    // Shows the rows sorted by `column` in the engine's order of values (RowOrder.h), or in the
    // query's order again for a column of -1. The sort runs on a thread of its own and the rows
    // show in their new order at once when it is done; a new sort, new rows or their removal
    // drop one that runs. Rows added or removed bring back the query's order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

signals:
    // The rows show in the query's order again, as the header's sort indicator should say.
    void rowsInQueryOrder();
    // A sort was not made: the memory budget refused what it would hold.
    void sortTooLarge();

private:
    int storedRow(int row) const { return shown_.empty() ? row : shown_[static_cast<std::size_t>(row)]; }
    std::string_view storedUtf8(int row, int column) const;
    CellValue storedValue(int row, int column) const;
    // Every change of the rows stops a running sort first, so the sort reads them unlocked.
    void stopSorting();
    void keepQueryOrder();
    void showOrder(std::vector<int> shown);
    // What `role` of the list's cell `cell` is.
    static QVariant shown(const CellValue &cell, int role);

    void ensureStride(int columns);
    void ensureColumns(int columns);
    // The cell's text in the list's buffers, a Real's value right after it.
    std::string_view store(const CellValue &value);

    // Announcements to views, skipped while a bulk update runs (it announces a reset instead).
    void announceInsertRows(int first, int last);
    void announceInsertedRows();
    void announceInsertColumns(int first, int last);
    void announceInsertedColumns();

    bool bulk_ = false;
    QStringList headers_;
    // Rows added one by one: row-major with `stride_` cells per row. A deque grows in small
    // blocks: a vector moved its 40 MB of cells for 25,000 rows of 100 columns at once, 20 ms
    // in which the window could not answer.
    ByteArena texts_;
    MemoryBudget *budget_ = nullptr;
    std::deque<std::string_view> cells_;
    std::deque<unsigned char> kinds_; // KindByte() of each cell, as cells_
    int stride_ = 0;
    int ownRows_ = 0;
    // The adopted table; its columns start at `tableColumn_`.
    KestTable table_;
    bool tableTyped_ = false; // whether its library gives types
    int tableRows_ = 0;
    int tableColumn_ = 0;
    // Row shown -> row kept; empty while the rows show in the query's order.
    std::vector<int> shown_;
    bool sorted_ = false; // a sort was asked for the rows present (it may still run)
    std::thread sorter_;
    std::atomic<bool> cancelSort_{false};
    unsigned sortNumber_ = 0; // the sort whose result may still show
};

} // namespace kest
