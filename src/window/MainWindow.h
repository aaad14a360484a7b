#pragma once
// The program's one window. Construction, layout and wiring only: each command lives in its own
// file under src/commands, the engine reaches the window through port().

#include "CommandHost.h"
#include "MainWindowPort.h"
#include "QueryEdit.h"

#include <QLocale>
#include <QWidget>

#include <array>
#include <memory>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QStatusBar;
class QTableView;
class QTimer;

namespace kest {

namespace design {
struct Control;
}
class Desktop;
class KestruneBinding;
class ResultsModel;
struct ProgramState;

// What a click on a column header says when the rows are too many to sort in the memory budget.
extern const QString SortTooLargeMessage;
extern const QString SortTooLargeTitle;

class MainWindow : public QWidget, public CommandHost {
    Q_OBJECT
public:
    MainWindow(KestruneBinding &library, Desktop &desktop, ProgramState &state,
               const QLocale &locale = QLocale(), QWidget *parent = nullptr);
    ~MainWindow() override;

    // Start-up. Catches nothing: a LibraryError from the banner's first library call ends it.
    void onLoad();
    // The resize rule on the window's outer size (see ResizeRule.h).
    void onResize();

    ResultsModel &results() { return *results_; }
    // Tests put the program's folder elsewhere; it is the executable's folder otherwise.
    void setProgramFolder(const QString &folder) { programFolder_ = folder; }

    // CommandHost (MainWindowHost.cpp).
    QString databaseText() const override;
    void setDatabaseText(const QString &text) override;
    QString queryText() const override;
    void setQueryText(const QString &text) override;
    QByteArray querySql() const override;
    void setQuerySql(QByteArray utf8) override;
    void setButtonEnabled(Button button, bool enabled) override;
    QString buttonCaption(Button button) const override;
    void setButtonCaption(Button button, const QString &caption) override;
    void focusButton(Button button) override;
    void closeWindow() override { close(); }
    int unicodeBoxValue() const override;
    QString programFolder() const override;
    QLocale numberLocale() const override { return locale_; }
    WindowPort &port() override { return *port_; }
    Desktop &desktop() override { return desktop_; }
    KestruneBinding &library() override { return library_; }
    ProgramState &state() override { return state_; }

    // The controls, made from the design table (FormDesign.cpp), which names them.
    QPushButton *button(Button which) const { return buttons_[static_cast<std::size_t>(which)]; }
    QLineEdit *databaseEdit;
    QueryEdit *queryEdit;
    QCheckBox *unicodeBox;
    QTableView *resultsView;
    QStatusBar *statusBar;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    bool nativeEvent(const QByteArray &eventType, void *message, qintptr *result) override;
    // Closing the window is Exit: the program ends at once, whatever runs.
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    // The widget of `control`, kept in its member where it has one.
    QWidget *createControl(const design::Control &control, QWidget *parent);
    void setUpQueryWindowAndList();
    void placeStatusBar();

    KestruneBinding &library_;
    Desktop &desktop_;
    ProgramState &state_;
    QLocale locale_;
    QString programFolder_;
    ResultsModel *results_;
    std::unique_ptr<MainWindowPort> port_;
    // The window's size with the window manager's frame, and the one the resize rule last worked from.
    QSize outerSize() const;
    QSize ruledOuterSize_;
    // Runs the rule again shortly after the last move, resize or new frame (see nativeEvent).
    QTimer *frameCheck_;
    std::array<QPushButton *, ButtonCount> buttons_{};
};

} // namespace kest
