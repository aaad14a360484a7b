#include "MainWindowPort.h"

#include "EventPump.h"
#include "ResultsModel.h"

#include <QHeaderView>
#include <QStatusBar>
#include <QTableView>

#include <stdexcept>
#include <string>
#include <utility>

namespace kest {

MainWindowPort::MainWindowPort(QWidget &window, QStatusBar &statusBar, QTableView &list,
                               ResultsModel &model)
    : window_(window), statusBar_(statusBar), list_(list), model_(model)
{
    list_.horizontalHeader()->setResizeContentsPrecision(SizeSampleRows);
}

void MainWindowPort::addPendingColumns()
{
    if (pendingColumns_.isEmpty())
        return;
    model_.addColumns(std::exchange(pendingColumns_, {}));
}

QString MainWindowPort::statusText() const
{
    return statusBar_.currentMessage();
}

void MainWindowPort::setStatusText(const QString &text)
{
    addPendingColumns();
    statusBar_.showMessage(text);
}

void MainWindowPort::refresh()
{
    addPendingColumns();
    window_.repaint();
}

void MainWindowPort::removeAllRows()
{
    addPendingColumns();
    fillStopped_ = filling_;
    model_.removeAllRows();
}

void MainWindowPort::removeAllColumns()
{
    addPendingColumns();
    fillStopped_ = filling_;
    model_.removeAllColumns();
}

void MainWindowPort::addColumn(const QString &header)
{
    // Inserted one by one, each column made the list's header measure its sections again:
    // seconds for 2,000 columns.
    if (!fillStopped_)
        pendingColumns_.append(header);
}

void MainWindowPort::addRowUtf8(std::string_view firstCell)
{
    addPendingColumns();
    if (fillStopped_)
        return;
    model_.addRowUtf8(firstCell);
    // Thousands of rows of a hundred cells take a tenth of a second and more to copy.
    if (filling_)
        eventPump().letMessagesRun();
}

void MainWindowPort::setCellUtf8(int row, int column, std::string_view text)
{
    addPendingColumns();
    if (!fillStopped_)
        model_.setCellUtf8(row - 1, column, text);
}

void MainWindowPort::beginBulkUpdate()
{
    addPendingColumns();
    filling_ = true;
    model_.beginBulkUpdate();
}

void MainWindowPort::endBulkUpdate()
{
    addPendingColumns();
    filling_ = false;
    fillStopped_ = false;
    model_.endBulkUpdate();
}

int MainWindowPort::rowCount() const
{
    return model_.rowCount();
}

int MainWindowPort::columnCount() const
{
    return model_.columnCount() + static_cast<int>(pendingColumns_.size());
}

void MainWindowPort::adoptTable(KestTable table, int dataRows, const std::function<void()> &betweenBatches)
{
    addPendingColumns();
    model_.adoptTable(std::move(table), dataRows, betweenBatches);
}

void MainWindowPort::sizeColumnToContents(int column)
{
    addPendingColumns();
    if (column < 0 || column >= model_.columnCount())
        throw std::out_of_range("Column " + std::to_string(column) + " is not in the list");
    list_.resizeColumnToContents(column);
}

void MainWindowPort::setResultsVisible(bool visible)
{
    addPendingColumns();
    list_.setVisible(visible);
}

void MainWindowPort::refreshResults()
{
    addPendingColumns();
    list_.viewport()->repaint();
}

} // namespace kest
