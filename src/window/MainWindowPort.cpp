#include "MainWindowPort.h"

#include "EventPump.h"
#include "ResultsModel.h"

#include <QHeaderView>
#include <QStatusBar>
#include <QTableView>

#include <stdexcept>
#include <string>

namespace kest {

MainWindowPort::MainWindowPort(QWidget &window, QStatusBar &statusBar, QTableView &list,
                               ResultsModel &model)
    : window_(window), statusBar_(statusBar), list_(list), model_(model)
{
    list_.horizontalHeader()->setResizeContentsPrecision(SizeSampleRows);
}

QString MainWindowPort::statusText() const
{
    return statusBar_.currentMessage();
}

void MainWindowPort::setStatusText(const QString &text)
{
    statusBar_.showMessage(text);
}

void MainWindowPort::refresh()
{
    window_.repaint();
}

void MainWindowPort::removeAllRows()
{
    fillStopped_ = filling_;
    model_.removeAllRows();
}

void MainWindowPort::removeAllColumns()
{
    fillStopped_ = filling_;
    model_.removeAllColumns();
}

void MainWindowPort::addColumns(const QStringList &headers)
{
    model_.addColumns(headers);
}

void MainWindowPort::addRowUtf8(const CellValue &firstCell)
{
    if (fillStopped_)
        return;
    model_.addRowUtf8(firstCell);
    // Thousands of rows of a hundred cells take a tenth of a second and more to copy.
    if (filling_)
        eventPump().letMessagesRun();
}

void MainWindowPort::setCellUtf8(int row, int column, const CellValue &value)
{
    if (!fillStopped_)
        model_.setCellUtf8(row - 1, column, value);
}

void MainWindowPort::beginBulkUpdate()
{
    filling_ = true;
    model_.beginBulkUpdate();
}

void MainWindowPort::endBulkUpdate()
{
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
    return model_.columnCount();
}

void MainWindowPort::adoptTable(KestTable table, int dataRows, const std::function<void()> &betweenBatches)
{
    model_.adoptTable(std::move(table), dataRows, betweenBatches);
}

void MainWindowPort::sizeColumnToContents(int column)
{
    if (column < 0 || column >= model_.columnCount())
        throw std::out_of_range("Column " + std::to_string(column) + " is not in the list");
    list_.resizeColumnToContents(column);
}

void MainWindowPort::setResultsVisible(bool visible)
{
    list_.setVisible(visible);
}

void MainWindowPort::refreshResults()
{
    list_.viewport()->repaint();
}

} // namespace kest
