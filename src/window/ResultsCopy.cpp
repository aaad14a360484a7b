#include "ResultsCopy.h"

#include "ResultsModel.h"
#include "files/CopyFormats.h"
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

SelectedRows::SelectedRows(const ResultsModel &model, std::vector<int> rows) : model_(model), rows_(std::move(rows))
{
    for (int c = 0; c < model.columnCount(); ++c)
        names_.push_back(model.columnName(c).toUtf8());
}

int SelectedRows::columnCount(int64_t) const
{
    return model_.columnCount();
}

std::string_view SelectedRows::cell(int64_t row, int column) const
{
    if (row == 0)
        return {names_[std::size_t(column)].constData(), std::size_t(names_[std::size_t(column)].size())};
    return model_.cellUtf8(rows_[std::size_t(row - 1)], column);
}

CellValue SelectedRows::value(int64_t row, int column) const
{
    if (row == 0)
        return {cell(row, column)};
    return model_.cellValue(rows_[std::size_t(row - 1)], column);
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

ResultsCopy::~ResultsCopy()
{
    // The clipboard outlives the window: at the program's end the desktop's clipboard manager
    // may still take its text, so it gets a copy of its own before this memory goes.
    if (onClipboard_) {
        const QString shared = onClipboard_->text();
        desktop_.setClipboardText(QString(shared.constData(), shared.size()), {});
        onClipboard_.reset();
    }
}

void ResultsCopy::copySelectedRows()
{
    std::vector<int> rows = selectedRows();
    if (rows.empty())
        return;
    const SelectedRows selected(model_, std::move(rows));
    copyText([&](QIODevice &out) { return WriteTabText(out, selected); }, CopyTooLargeMessage);
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

void ResultsCopy::copyText(const CountedText::Writer &write, const QString &tooLarge)
{
    try {
        if (std::unique_ptr<CountedText> text = CountedText::Written(budget_, write)) {
            // The clipboard shares the text's memory, which is held until the clipboard lets
            // the text go; the window may be gone by then.
            desktop_.setClipboardText(text->text(), [copy = QPointer<ResultsCopy>(this)] {
                if (copy)
                    copy->onClipboard_.reset();
            });
            onClipboard_ = std::move(text);
            return;
        }
    } catch (const std::bad_alloc &) {
        // The system refused what the budget allowed: the same answer.
    }
    desktop_.message(tooLarge, CopyTooLargeTitle, MessageButtons::Ok, MessageIcon::Critical);
}

} // namespace kest
