#include "ResultsMenu.h"

#include "CellViewer.h"
#include "CopyFormats.h"
#include "ResultsCopy.h"
#include "ResultsModel.h"
#include "files/Desktop.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTableView>

namespace kest {

const QString InsertTablePrompt = QStringLiteral("The table to insert the rows into:");
const QString InsertTableTitle = QStringLiteral("Copy as SQL INSERT");

ResultsMenu::ResultsMenu(QTableView *list, const ResultsModel &model, ResultsCopy &copy, Desktop &desktop)
    : QObject(list), list_(list), model_(model), copy_(copy), desktop_(desktop)
{
    const auto action = [this](const QString &text, auto slot) {
        auto *added = new QAction(text, list_);
        connect(added, &QAction::triggered, this, slot);
        return added;
    };
    auto *viewCell = action(tr("&View Cell"), [this] { this->viewCell(list_->currentIndex()); });
    viewCell->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    viewCell->setShortcutContext(Qt::WidgetShortcut);
    const auto separator = [this] {
        auto *line = new QAction(list_);
        line->setSeparator(true);
        return line;
    };
    // Between the list's Copy and Select All.
    list_->insertActions(list_->actions().value(1),
                         {action(tr("Copy as C&SV"), [this] { copySelectedRowsAs(CopyFormat::Csv); }),
                          action(tr("Copy as &JSON"), [this] { copySelectedRowsAs(CopyFormat::Json); }),
                          action(tr("Copy as &Markdown"), [this] { copySelectedRowsAs(CopyFormat::Markdown); }),
                          action(tr("Copy as SQL &INSERT\u2026"), [this] { copySelectedRowsAs(CopyFormat::Inserts); }),
                          separator(), viewCell, separator()});
    connect(list_, &QAbstractItemView::doubleClicked, this, &ResultsMenu::viewCell);
    list_->installEventFilter(this);
}

bool ResultsMenu::eventFilter(QObject *, QEvent *event)
{
    // The menu key opens the menu at the middle of the current cell, which for a long cell lies
    // far outside the list: there the menu would open at the screen's edge. It opens below the
    // cell's part in view instead, or at the list's corner.
    if (event->type() != QEvent::ContextMenu || static_cast<QContextMenuEvent *>(event)->reason() != QContextMenuEvent::Keyboard)
        return false;
    const QRect cell = list_->visualRect(list_->currentIndex()) & list_->viewport()->rect();
    QMenu::exec(list_->actions(), list_->viewport()->mapToGlobal(cell.isEmpty() ? QPoint() : cell.bottomLeft()), nullptr, list_);
    return true;
}

void ResultsMenu::copySelectedRowsAs(CopyFormat format)
{
    std::vector<int> rows = copy_.selectedRows();
    if (rows.empty())
        return;
    QByteArray table;
    if (format == CopyFormat::Inserts) {
        const QString name = desktop_.askText(InsertTablePrompt, InsertTableTitle, table_);
        if (name.isEmpty())
            return;
        table_ = name;
        table = name.toUtf8();
    }
    const SelectedRows selected(model_, std::move(rows));
    copy_.copyText(
        [&](QIODevice &out) {
            switch (format) {
            case CopyFormat::Csv: return WriteCsv(out, selected);
            case CopyFormat::Json: return WriteJson(out, selected);
            case CopyFormat::Markdown: return WriteMarkdown(out, selected);
            case CopyFormat::Inserts: return WriteInserts(out, selected, {table.constData(), std::size_t(table.size())});
            }
            return false;
        },
        CopyTooLargeMessage);
}

void ResultsMenu::viewCell(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    QString column = model_.columnName(index.column());
    if (column.size() > 100)
        column = column.left(100) + QChar(0x2026);
    auto *viewer = new CellViewer(list_->window(),
                                  CellViewer::Title + QStringLiteral(": %1, row %2").arg(column, QLocale().toString(index.row() + 1)),
                                  model_.cellValue(index.row(), index.column()), model_, copy_);
    viewer->open();
}

} // namespace kest
