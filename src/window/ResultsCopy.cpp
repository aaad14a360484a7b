#include "ResultsCopy.h"

#include "ResultsModel.h"
#include "files/Desktop.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QPointer>
#include <QTableView>

#include <algorithm>
#include <new>

namespace kest {

const QString CopyTooLargeMessage =
    QStringLiteral("The selected rows are too large to copy in the memory available.");
const QString CopyTooLargeTitle = QStringLiteral("Copy");

namespace {

// The text grows in steps of at least this many characters, each counted before it is taken.
constexpr qsizetype LeastGrowth = qsizetype{1} << 20;

void appendCell(QString &text, const QString &cell)
{
    const bool quoted = cell.startsWith(u'"') || cell.contains(u'\t') || cell.contains(u'\n') ||
                        cell.contains(u'\r');
    if (!quoted) {
        text += cell;
        return;
    }
    text += u'"';
    for (const QChar c : cell) {
        if (c == u'"')
            text += u'"';
        text += c;
    }
    text += u'"';
}

void appendLine(QString &text, int columns, const auto &cellOf)
{
    for (int c = 0; c < columns; ++c) {
        if (c > 0)
            text += u'\t';
        appendCell(text, cellOf(c));
    }
    text += QLatin1StringView("\r\n");
}

} // namespace

std::optional<QString> RowsAsText(const ResultsModel &model, const std::vector<int> &rows,
                                  BudgetReservation *reservation)
{
    const int columns = model.columnCount();
    QString text;
    // Room for the next line is counted before the line is added: the text doubles (so growing
    // costs little) and its characters take two bytes each.
    const auto makeRoom = [&](qsizetype wanted) {
        if (reservation == nullptr || wanted <= text.capacity())
            return true;
        const qsizetype capacity = std::max({wanted, 2 * text.capacity(), LeastGrowth});
        try {
            reservation->add(2 * static_cast<int64_t>(capacity - text.capacity()));
        } catch (const std::bad_alloc &) {
            return false;
        }
        text.reserve(capacity);
        return true;
    };
    appendLine(text, columns, [&](int c) { return model.columnName(c); });
    for (const int row : rows) {
        // A line is at most a little over twice its cells' length (quotes doubled).
        qsizetype line = columns * 3 + 2;
        for (int c = 0; c < columns; ++c)
            line += 2 * model.cellText(row, c).size();
        if (!makeRoom(text.size() + line))
            return std::nullopt;
        appendLine(text, columns, [&](int c) { return model.cellText(row, c); });
    }
    return text;
}

ResultsCopy::ResultsCopy(QTableView *list, const ResultsModel &model, Desktop &desktop, MemoryBudget *budget)
    : QObject(list), list_(list), model_(model), desktop_(desktop), budget_(budget)
{
    // Rows are what the list selects and copies, as a list in report view does.
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);

    // Without these the view copies only the current cell, and its Ctrl+A is the same.
    auto *copy = new QAction(tr("&Copy"), list_);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, &ResultsCopy::copySelectedRows);
    auto *selectAll = new QAction(tr("Select &All"), list_);
    selectAll->setShortcut(QKeySequence::SelectAll);
    selectAll->setShortcutContext(Qt::WidgetShortcut);
    connect(selectAll, &QAction::triggered, list_, &QTableView::selectAll);
    list_->addActions({copy, selectAll});
    list_->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void ResultsCopy::copySelectedRows()
{
    const std::vector<int> rows = selectedRows();
    if (!rows.empty())
        copyText([&](BudgetReservation &reservation) { return RowsAsText(model_, rows, &reservation); },
                 CopyTooLargeMessage);
}

std::vector<int> ResultsCopy::selectedRows() const
{
    // Whole rows in the list's order, each once, however the selection was gathered; marking
    // costs one pass over the rows instead of one index per selected cell.
    std::vector<char> selected(static_cast<std::size_t>(model_.rowCount()), 0);
    for (const QItemSelectionRange &range : list_->selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom() && row < model_.rowCount(); ++row)
            selected[static_cast<std::size_t>(row)] = 1;
    std::vector<int> rows;
    for (std::size_t row = 0; row < selected.size(); ++row)
        if (selected[row])
            rows.push_back(static_cast<int>(row));
    return rows;
}

void ResultsCopy::copyText(const std::function<std::optional<QString>(BudgetReservation &)> &make, const QString &tooLarge)
{
    try {
        auto reservation = std::make_unique<BudgetReservation>(budget_);
        const std::optional<QString> text = make(*reservation);
        if (text) {
            // The clipboard shares the text's memory, which stays counted until the clipboard
            // lets the text go; the window may be gone by then.
            desktop_.setClipboardText(*text, [copy = QPointer<ResultsCopy>(this)] {
                if (copy)
                    copy->onClipboard_.reset();
            });
            onClipboard_ = std::move(reservation);
            return;
        }
    } catch (const std::bad_alloc &) {
        // The system refused what the budget allowed: the same answer.
    }
    desktop_.message(tooLarge, CopyTooLargeTitle, MessageButtons::Ok, MessageIcon::Critical);
}

} // namespace kest
