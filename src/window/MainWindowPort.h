#pragma once
// WindowPort over the widgets of `MainWindow`.

#include "WindowPort.h"

#include <QStringList>

class QStatusBar;
class QTableView;
class QWidget;

namespace kest {

class ResultsModel;

class MainWindowPort final : public WindowPort {
public:
    // Rows measured when a column is sized to its contents.
    static constexpr int SizeSampleRows = 1000;

    MainWindowPort(QWidget &window, QStatusBar &statusBar, QTableView &list, ResultsModel &model);

    QString statusText() const override;
    void setStatusText(const QString &text) override;
    void refresh() override;
    void removeAllRows() override;
    void removeAllColumns() override;
    void addColumns(const QStringList &headers) override;
    void addRowUtf8(const CellValue &firstCell) override;
    void setCellUtf8(int row, int column, const CellValue &value) override;
    void beginBulkUpdate() override;
    void endBulkUpdate() override;
    int rowCount() const override;
    int columnCount() const override;
    void adoptTable(KestTable table, int dataRows, const std::function<void()> &betweenBatches) override;
    void sizeColumnToContents(int column) override;
    void setResultsVisible(bool visible) override;
    void refreshResults() override;

    // The window is closing: rows still arriving in a bulk update are not added.
    void stopFilling() { fillStopped_ = filling_; }

private:
    QWidget &window_;
    QStatusBar &statusBar_;
    QTableView &list_;
    ResultsModel &model_;
    // A bulk update lets the window answer between rows; a Clear or the window closing
    // meanwhile ends it, and the rest of its rows are not added.
    bool filling_ = false;
    bool fillStopped_ = false;
};

} // namespace kest
