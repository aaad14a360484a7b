#include "ResultsModel.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace kest {

ResultsModel::ResultsModel(QObject *parent) : QAbstractTableModel(parent) {}

ResultsModel::~ResultsModel() = default;

int ResultsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : tableRows_ + ownRows_;
}

int ResultsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(headers_.size());
}

QVariant ResultsModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    std::string_view text = cellUtf8(index.row(), index.column());
    // A list shows the start of a long text, as a report-style list does: laying out and
    // measuring megabytes for one line of a cell would freeze the window for seconds.
    if (text.size() <= LongestShownText)
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    std::size_t cut = LongestShownText;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut; // not inside a character
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(cut)) + QChar(0x2026);
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    // Like the list control in report view: column headers only, no row numbers.
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
        section >= headers_.size())
        return {};
    return headers_.at(section);
}

QString ResultsModel::cellText(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0)
        return {};
    const std::string_view text = cellUtf8(row, column);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string_view ResultsModel::cellUtf8(int row, int column) const
{
    if (row < tableRows_) {
        const int c = column - tableColumn_;
        if (c < 0 || c >= table_->column_count)
            return {};
        return KEST_CELL(table_.get(), c, row + 1);
    }
    if (column >= stride_)
        return {};
    return arena_.text(cells_[static_cast<std::size_t>(row - tableRows_) * stride_ + column]);
}

void ResultsModel::removeAllRows()
{
    const int rows = rowCount();
    if (rows > 0 && !bulk_)
        beginRemoveRows({}, 0, rows - 1);
    cells_.clear();
    cells_.shrink_to_fit();
    arena_.clear();
    table_.reset();
    tableRows_ = 0;
    tableColumn_ = 0;
    ownRows_ = 0;
    stride_ = 0;
    if (rows > 0 && !bulk_)
        endRemoveRows();
}

void ResultsModel::removeAllColumns()
{
    if (headers_.isEmpty())
        return;
    if (!bulk_)
        beginRemoveColumns({}, 0, static_cast<int>(headers_.size()) - 1);
    headers_.clear();
    if (!bulk_)
        endRemoveColumns();
}

void ResultsModel::addColumn(const QString &header)
{
    const int column = static_cast<int>(headers_.size());
    announceInsertColumns(column, column);
    headers_.append(header);
    announceInsertedColumns();
}

void ResultsModel::ensureColumns(int columns)
{
    const int present = static_cast<int>(headers_.size());
    if (columns <= present)
        return;
    announceInsertColumns(present, columns - 1);
    for (int c = present; c < columns; ++c)
        headers_.append(QString());
    announceInsertedColumns();
}

void ResultsModel::ensureStride(int columns)
{
    if (columns <= stride_)
        return;
    // Widening moves every stored row once; rows are normally added after their columns.
    const int stride = std::max(columns, static_cast<int>(headers_.size()));
    std::vector<TextArena::Span> wider(static_cast<std::size_t>(ownRows_) * stride);
    for (int r = 0; r < ownRows_; ++r)
        std::copy_n(cells_.begin() + static_cast<std::ptrdiff_t>(r) * stride_, stride_,
                    wider.begin() + static_cast<std::ptrdiff_t>(r) * stride);
    cells_ = std::move(wider);
    stride_ = stride;
}

void ResultsModel::addRow(QStringView firstCell)
{
    const QByteArray utf8 = firstCell.toUtf8();
    addRowUtf8(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

void ResultsModel::addRowUtf8(std::string_view firstCell)
{
    ensureStride(std::max(1, static_cast<int>(headers_.size())));
    const int row = rowCount();
    announceInsertRows(row, row);
    cells_.resize(cells_.size() + static_cast<std::size_t>(stride_));
    cells_[static_cast<std::size_t>(ownRows_) * stride_] = arena_.store(firstCell);
    ++ownRows_;
    announceInsertedRows();
}

void ResultsModel::setCell(int row, int column, QStringView text)
{
    const QByteArray utf8 = text.toUtf8();
    setCellUtf8(row, column, std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

void ResultsModel::setCellUtf8(int row, int column, std::string_view text)
{
    if (row < 0 || row >= rowCount())
        throw std::out_of_range("Row " + std::to_string(row + 1) + " is not in the list");
    if (column < 0)
        throw std::out_of_range("Column " + std::to_string(column) + " is not in the list");
    ensureColumns(column + 1);
    if (row < tableRows_)
        copyTableIntoRows();
    ensureStride(column + 1);
    cells_[static_cast<std::size_t>(row - tableRows_) * stride_ + column] = arena_.store(text);
    if (!bulk_) {
        const QModelIndex changed = index(row, column);
        emit dataChanged(changed, changed, {Qt::DisplayRole});
    }
}

void ResultsModel::appendTableRows(const kest_table &table, int firstColumn, int rows)
{
    ensureStride(firstColumn + table.column_count);
    const int first = rowCount();
    announceInsertRows(first, first + rows - 1);
    cells_.resize(cells_.size() + static_cast<std::size_t>(rows) * stride_);
    for (int r = 0; r < rows; ++r) {
        TextArena::Span *row = &cells_[static_cast<std::size_t>(ownRows_ + r) * stride_];
        for (int c = 0; c < table.column_count; ++c)
            row[firstColumn + c] = arena_.store(KEST_CELL(&table, c, r + 1));
    }
    ownRows_ += rows;
    announceInsertedRows();
}

void ResultsModel::copyTableIntoRows()
{
    // The adopted rows come first, so they are copied in front of the rows added since.
    const int stride = std::max({stride_, tableColumn_ + table_->column_count,
                                 static_cast<int>(headers_.size())});
    std::vector<TextArena::Span> rows(static_cast<std::size_t>(tableRows_ + ownRows_) * stride);
    for (int r = 0; r < tableRows_; ++r)
        for (int c = 0; c < table_->column_count; ++c)
            rows[static_cast<std::size_t>(r) * stride + tableColumn_ + c] =
                arena_.store(KEST_CELL(table_.get(), c, r + 1));
    for (int r = 0; r < ownRows_; ++r)
        std::copy_n(cells_.begin() + static_cast<std::ptrdiff_t>(r) * stride_, stride_,
                    rows.begin() + static_cast<std::ptrdiff_t>(tableRows_ + r) * stride);
    cells_ = std::move(rows);
    stride_ = stride;
    ownRows_ += tableRows_;
    tableRows_ = 0;
    tableColumn_ = 0;
    table_.reset();
}

void ResultsModel::adoptTable(KestTable table, int dataRows, const std::function<void()> &betweenBatches)
{
    if (!table)
        return;
    const int firstColumn = static_cast<int>(headers_.size());
    const int columns = std::max(0, table->column_count);
    const int rows = std::clamp(dataRows, 0, std::max(0, table->row_count - 1));
    if (columns == 0)
        return;
    announceInsertColumns(firstColumn, firstColumn + columns - 1);
    for (int c = 0; c < columns; ++c)
        headers_.append(QString::fromUtf8(KEST_CELL(table.get(), c, 0)));
    announceInsertedColumns();
    if (rows == 0)
        return;
    if (rowCount() > 0) {
        // Only one table is kept and its rows come first; rows behind others are copied.
        appendTableRows(*table, firstColumn, rows);
        return;
    }
    table_ = std::move(table);
    tableColumn_ = firstColumn;
    const kest_table *adopted = table_.get();
    // The views hear of the rows a batch at a time: a view's bookkeeping for a million rows
    // at once would keep the window from answering for a tenth of a second.
    while (tableRows_ < rows) {
        const int last = std::min(rows, tableRows_ + RowsPerBatch) - 1;
        announceInsertRows(tableRows_, last);
        tableRows_ = last + 1;
        announceInsertedRows();
        if (tableRows_ < rows && betweenBatches) {
            betweenBatches();
            if (table_.get() != adopted)
                return; // the list was emptied meanwhile
        }
    }
}

void ResultsModel::beginBulkUpdate()
{
    if (bulk_)
        return;
    beginResetModel();
    bulk_ = true;
}

void ResultsModel::endBulkUpdate()
{
    if (!bulk_)
        return;
    bulk_ = false;
    endResetModel();
}

void ResultsModel::announceInsertRows(int first, int last)
{
    if (!bulk_)
        beginInsertRows({}, first, last);
}

void ResultsModel::announceInsertedRows()
{
    if (!bulk_)
        endInsertRows();
}

void ResultsModel::announceInsertColumns(int first, int last)
{
    if (!bulk_)
        beginInsertColumns({}, first, last);
}

void ResultsModel::announceInsertedColumns()
{
    if (!bulk_)
        endInsertColumns();
}

} // namespace kest
