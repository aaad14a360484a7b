#pragma once
// A WindowPort over a real results model that records every status text, for engine tests.

#include "ResultsModel.h"
#include "WindowPort.h"

#include <QStringList>

#include <functional>

namespace kest::test {

class RecordingWindow : public WindowPort {
public:
    QString statusText() const override { return status; }
    void setStatusText(const QString &text) override
    {
        status = text;
        statusHistory.append(text);
    }
    void refresh() override { ++refreshes; }
    void removeAllRows() override { model.removeAllRows(); }
    void removeAllColumns() override { model.removeAllColumns(); }
    void addColumn(const QString &header) override
    {
        if (failAddColumn)
            failAddColumn();
        model.addColumn(header);
    }
    void addRow(const QString &firstCell) override { model.addRow(firstCell); }
    void setCell(int row, int column, const QString &text) override { model.setCell(row - 1, column, text); }
    void addRowUtf8(std::string_view firstCell) override
    {
        if (failAddRow)
            failAddRow(model.rowCount() + 1);
        model.addRowUtf8(firstCell);
    }
    void setCellUtf8(int row, int column, std::string_view text) override
    {
        if (failCell)
            failCell(row, column);
        model.setCellUtf8(row - 1, column, text);
    }
    void beginBulkUpdate() override { model.beginBulkUpdate(); }
    void endBulkUpdate() override { model.endBulkUpdate(); }
    int rowCount() const override { return model.rowCount(); }
    int columnCount() const override { return model.columnCount(); }
    void adoptTable(KestTable table, int dataRows, const std::function<void()> &) override
    {
        if (failAdopt)
            failAdopt();
        model.adoptTable(std::move(table), dataRows);
    }
    void sizeColumnToContents(int column) override { sizedColumns.append(column); }
    void setResultsVisible(bool visible) override { resultsVisible = visible; }
    void refreshResults() override {}

    ResultsModel model;
    QString status;
    QStringList statusHistory;
    QList<int> sizedColumns;
    int refreshes = 0;
    bool resultsVisible = true;
    std::function<void()> failAdopt;              // throws to simulate a failing list
    std::function<void(int, int)> failCell;       // the same for one cell (row from 1, column)
    std::function<void()> failAddColumn;
    std::function<void(int)> failAddRow;          // gets the number (from 1) of the row to add
};

} // namespace kest::test
