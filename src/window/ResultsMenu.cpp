#include "ResultsMenu.h"

#include "CellViewer.h"
#include "CopyFormats.h"
#include "ResultsCopy.h"
#include "ResultsModel.h"
#include "files/Desktop.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QStringDecoder>
#include <QTableView>

#include <algorithm>
#include <new>

namespace kest {

const QString InsertTablePrompt = QStringLiteral("The table to insert the rows into:");
const QString InsertTableTitle = QStringLiteral("Copy as SQL INSERT");

namespace {

// The column names and then the selected rows, as the writers of CSV and the other formats read
// rows.
class SelectedRows final : public CsvRows {
public:
    SelectedRows(const ResultsModel &model, std::vector<int> rows) : model_(model), rows_(std::move(rows))
    {
        for (int c = 0; c < model.columnCount(); ++c)
            names_.push_back(model.columnName(c).toUtf8());
    }
    int64_t rowCount() const override { return static_cast<int64_t>(rows_.size()) + 1; }
    int columnCount(int64_t) const override { return model_.columnCount(); }
    std::string_view cell(int64_t row, int column) const override
    {
        if (row == 0)
            return {names_[std::size_t(column)].constData(), std::size_t(names_[std::size_t(column)].size())};
        return model_.cellUtf8(rows_[std::size_t(row - 1)], column);
    }

private:
    const ResultsModel &model_;
    std::vector<int> rows_;
    std::vector<QByteArray> names_;
};

// UTF-8 written here becomes `text`, whose memory is counted before it is taken, as Copy's is:
// the text doubles (so growing costs little) and its characters take two bytes each. A write
// that the budget refuses fails.
class CountedTextDevice final : public QIODevice {
public:
    explicit CountedTextDevice(BudgetReservation &reservation) : reservation_(reservation) { open(WriteOnly); }
    QString text;

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        constexpr qsizetype LeastGrowth = qsizetype{1} << 20;
        const qsizetype wanted = text.size() + size; // no more characters than bytes
        if (wanted > text.capacity()) {
            const qsizetype capacity = std::max({wanted, 2 * text.capacity(), LeastGrowth});
            try {
                reservation_.add(2 * static_cast<int64_t>(capacity - text.capacity()));
            } catch (const std::bad_alloc &) {
                return -1;
            }
            text.reserve(capacity);
        }
        text += decoder_(QByteArrayView(data, size));
        return size;
    }

private:
    BudgetReservation &reservation_;
    QStringDecoder decoder_{QStringDecoder::Utf8};
};

} // namespace

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
                         {action(tr("Copy as CS&V"), [this] { copySelectedRowsAs(CopyFormat::Csv); }),
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
        [&](BudgetReservation &reservation) -> std::optional<QString> {
            CountedTextDevice out(reservation);
            bool written = false;
            switch (format) {
            case CopyFormat::Csv: written = WriteCsv(out, selected); break;
            case CopyFormat::Json: written = WriteJson(out, selected); break;
            case CopyFormat::Markdown: written = WriteMarkdown(out, selected); break;
            case CopyFormat::Inserts:
                written = WriteInserts(out, selected, {table.constData(), std::size_t(table.size())});
                break;
            }
            return written ? std::optional<QString>(std::move(out.text)) : std::nullopt;
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
                                  model_.cellUtf8(index.row(), index.column()), model_, copy_);
    viewer->open();
}

} // namespace kest
