#include "ResultsModel.h"

#include "LibraryCell.h"
#include "RowOrder.h"

#include <QMetaObject>

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>

namespace kest {

const QString ResultsModel::NullText = QStringLiteral("NULL");
const QString ResultsModel::NullDescription = QStringLiteral("no value");

ResultsModel::ResultsModel(QObject *parent) : QAbstractTableModel(parent) {}

ResultsModel::~ResultsModel()
{
    stopSorting();
}

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
    if ((role != Qt::DisplayRole && role != Qt::TextAlignmentRole && role != Qt::AccessibleDescriptionRole) ||
        !checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    return shown(cellValue(index.row(), index.column()), role);
}

void ResultsModel::multiData(const QModelIndex &index, QModelRoleDataSpan roles) const
{
    // A view draws a cell from several roles, asked at once: the cell is found once for them.
    const bool valid = checkIndex(index, CheckIndexOption::IndexIsValid);
    const CellValue cell = valid ? cellValue(index.row(), index.column()) : CellValue();
    for (QModelRoleData &role : roles)
        role.setData(valid ? shown(cell, role.role()) : QVariant());
}

QVariant ResultsModel::shown(const CellValue &cell, int role)
{
    // As SQL tools show values: numbers to the right, NULL as a word apart from an empty text
    // (which stays empty), also for a screen reader, and apart from the text 'NULL' by its
    // description (and, drawn, by the list's delegate).
    if (role == Qt::TextAlignmentRole)
        return cell.isNumber() ? QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter)) : QVariant();
    if (role == Qt::AccessibleDescriptionRole && cell.type == CellType::Null)
        return NullDescription;
    if (role != Qt::DisplayRole)
        return {};
    if (cell.type == CellType::Null)
        return NullText;
    std::string_view text = cell.text;
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
    // A first click on a header sorts ascending, whichever way the last sort went.
    if (role == Qt::InitialSortOrderRole && orientation == Qt::Horizontal)
        return int(Qt::AscendingOrder);
    // Like the list control in report view: column headers only, no row numbers.
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
        section >= headers_.size())
        return {};
    // A column named after a long expression (a megabyte of SELECT length('…')) shows its start,
    // as a long cell does: measuring the whole name froze the window for most of a second.
    const QString &name = headers_.at(section);
    if (name.size() <= qsizetype(LongestShownText))
        return name;
    qsizetype cut = LongestShownText;
    if (name.at(cut - 1).isHighSurrogate())
        --cut; // not inside a character
    return name.left(cut) + QChar(0x2026);
}

QString ResultsModel::columnName(int column) const
{
    return column >= 0 && column < headers_.size() ? headers_.at(column) : QString();
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
    if (row < 0 || row >= rowCount())
        return {};
    return storedUtf8(storedRow(row), column);
}

CellValue ResultsModel::cellValue(int row, int column) const
{
    if (row < 0 || row >= rowCount())
        return {};
    return storedValue(storedRow(row), column);
}

std::string_view ResultsModel::storedUtf8(int row, int column) const
{
    if (row < tableRows_) {
        const int c = column - tableColumn_;
        if (c < 0 || c >= table_->column_count)
            return {};
        return KEST_CELL(table_.get(), c, row + 1);
    }
    if (column >= stride_)
        return {};
    return cells_[static_cast<std::size_t>(row - tableRows_) * stride_ + column];
}

CellValue ResultsModel::storedValue(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0)
        return {};
    if (row < tableRows_) {
        const int c = column - tableColumn_;
        if (c < 0 || c >= table_->column_count)
            return {};
        const char *text = KEST_CELL(table_.get(), c, row + 1);
        return LibraryCell(text, std::strlen(text), tableTyped_ ? KEST_TYPE(table_.get(), c, row + 1) : KEST_TEXT);
    }
    if (column >= stride_)
        return {};
    const std::size_t i = static_cast<std::size_t>(row - tableRows_) * stride_ + column;
    CellValue value = FromKindByte(cells_[i], kinds_[i]);
    if (value.type == CellType::Real)
        std::memcpy(&value.real, value.text.data() + value.text.size(), sizeof value.real);
    return value;
}

void ResultsModel::removeAllRows()
{
    stopSorting();
    const bool sorted = std::exchange(sorted_, false);
    const int rows = rowCount();
    if (rows > 0 && !bulk_)
        beginRemoveRows({}, 0, rows - 1);
    shown_.clear();
    shown_.shrink_to_fit();
    cells_.clear();
    cells_.shrink_to_fit();
    kinds_.clear();
    kinds_.shrink_to_fit();
    texts_.clear();
    table_.reset();
    tableRows_ = 0;
    tableColumn_ = 0;
    ownRows_ = 0;
    stride_ = 0;
    if (rows > 0 && !bulk_)
        endRemoveRows();
    if (sorted)
        emit rowsInQueryOrder();
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
    addColumns({header});
}

void ResultsModel::addColumns(const QStringList &headers)
{
    if (headers.isEmpty())
        return;
    const int first = static_cast<int>(headers_.size());
    announceInsertColumns(first, first + static_cast<int>(headers.size()) - 1);
    headers_.append(headers);
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
    std::deque<std::string_view> wider(static_cast<std::size_t>(ownRows_) * stride);
    std::deque<unsigned char> widerKinds(wider.size(), KindByte({{}, CellType::Null}));
    for (int r = 0; r < ownRows_; ++r) {
        const auto from = static_cast<std::ptrdiff_t>(r) * stride_, to = static_cast<std::ptrdiff_t>(r) * stride;
        std::copy_n(cells_.begin() + from, stride_, wider.begin() + to);
        std::copy_n(kinds_.begin() + from, stride_, widerKinds.begin() + to);
    }
    cells_ = std::move(wider);
    kinds_ = std::move(widerKinds);
    stride_ = stride;
}

std::string_view ResultsModel::store(const CellValue &value)
{
    const std::size_t extra = value.type == CellType::Real ? sizeof value.real : 0;
    if (value.text.empty() && extra == 0)
        return {};
    unsigned char *room = texts_.allocate(value.text.size() + extra);
    std::memcpy(room, value.text.data(), value.text.size());
    std::memcpy(room + value.text.size(), &value.real, extra);
    return {reinterpret_cast<const char *>(room), value.text.size()};
}

void ResultsModel::addRowUtf8(const CellValue &firstCell)
{
    keepQueryOrder(); // before the rows change: a sort reads them unlocked
    ensureStride(std::max(1, static_cast<int>(headers_.size())));
    const int row = rowCount();
    announceInsertRows(row, row);
    cells_.resize(cells_.size() + static_cast<std::size_t>(stride_));
    kinds_.resize(cells_.size(), KindByte({{}, CellType::Null}));
    cells_[static_cast<std::size_t>(ownRows_) * stride_] = store(firstCell);
    kinds_[static_cast<std::size_t>(ownRows_) * stride_] = KindByte(firstCell);
    ++ownRows_;
    announceInsertedRows();
}

void ResultsModel::setCellUtf8(int row, int column, const CellValue &value)
{
    if (row < tableRows_ || row >= rowCount())
        throw std::out_of_range("Row " + std::to_string(row + 1) + " is not in the list");
    if (column < 0)
        throw std::out_of_range("Column " + std::to_string(column) + " is not in the list");
    keepQueryOrder();
    ensureColumns(column + 1);
    ensureStride(column + 1);
    const std::size_t i = static_cast<std::size_t>(row - tableRows_) * stride_ + column;
    cells_[i] = store(value);
    kinds_[i] = KindByte(value);
    if (!bulk_) {
        const QModelIndex changed = index(row, column);
        emit dataChanged(changed, changed, {Qt::DisplayRole});
    }
}

void ResultsModel::adoptTable(KestTable table, int dataRows, const std::function<void()> &betweenBatches)
{
    if (!table)
        return;
    removeAllRows();
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
    tableTyped_ = table.get_deleter().typed;
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

void ResultsModel::sort(int column, Qt::SortOrder order)
{
    stopSorting();
    if (column < 0 || column >= columnCount()) {
        keepQueryOrder();
        return;
    }
    // The keys and the order made, and the order shown until the rows go (its count given back
    // once the sort is done: the list's own bookkeeping is not counted).
    auto held = std::make_shared<BudgetReservation>(budget_);
    try {
        held->add(static_cast<int64_t>(rowCount()) * static_cast<int64_t>(SortBytesPerRow() + sizeof(int)));
    } catch (const std::bad_alloc &) {
        keepQueryOrder();
        emit rowsInQueryOrder(); // the indicator that the click set goes again
        emit sortTooLarge();
        return;
    }
    sorted_ = true;
    const unsigned number = ++sortNumber_;
    const auto sortRows = [this, held, number, column, rows = rowCount(), descending = order == Qt::DescendingOrder] {
        auto sorted = std::make_shared<std::vector<int>>();
        try {
            *sorted = SortedRows(rows, [this, column](int row) { return storedValue(row, column); }, descending,
                                 cancelSort_);
        } catch (const std::bad_alloc &) {
            // The rows stay in the query's order, as the cleared indicator then says.
        }
        if (cancelSort_.load())
            return;
        QMetaObject::invokeMethod(this, [this, number, sorted, rows] {
            if (number != sortNumber_)
                return; // dropped since
            sorter_.join();
            if (static_cast<int>(sorted->size()) != rows) {
                keepQueryOrder();
                return;
            }
            showOrder(std::move(*sorted));
        }, Qt::QueuedConnection);
    };
    try {
        sorter_ = std::thread(sortRows);
    } catch (const std::system_error &) {
        keepQueryOrder();
    }
}

void ResultsModel::stopSorting()
{
    ++sortNumber_;
    if (!sorter_.joinable())
        return;
    cancelSort_ = true;
    sorter_.join();
    cancelSort_ = false;
}

void ResultsModel::keepQueryOrder()
{
    if (!std::exchange(sorted_, false))
        return;
    stopSorting();
    if (!shown_.empty())
        showOrder({});
    emit rowsInQueryOrder();
}

void ResultsModel::showOrder(std::vector<int> shown)
{
    if (bulk_) {
        shown_ = std::move(shown);
        return;
    }
    // The current cell and the selection follow their rows.
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    if (!before.isEmpty()) {
        std::vector<int> shownAt(static_cast<std::size_t>(rowCount()));
        for (std::size_t i = 0; i < shownAt.size(); ++i)
            shownAt[shown.empty() ? i : static_cast<std::size_t>(shown[i])] = static_cast<int>(i);
        for (const QModelIndex &at : before)
            after << index(shownAt[static_cast<std::size_t>(storedRow(at.row()))], at.column());
    }
    shown_ = std::move(shown);
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
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
    keepQueryOrder();
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
