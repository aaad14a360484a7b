#pragma once
// The program's one window. Construction, layout and wiring only: each command lives in its own
// file under src/commands, the engine reaches the window through port().

#include "CommandHost.h"
#include "MainWindowPort.h"

#include <QLocale>
#include <QWidget>

#include <memory>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QTableView;
class QTimer;

namespace kest {

class Desktop;
class KestruneBinding;
class QueryEdit;
class ResultsModel;
struct ModuleState;

class frmMain : public QWidget, public CommandHost {
    Q_OBJECT
public:
    frmMain(KestruneBinding &library, Desktop &desktop, ModuleState &state,
            const QLocale &locale = QLocale(), QWidget *parent = nullptr);
    ~frmMain() override;

    // Start-up. Traps nothing: a LibraryError from the banner's first library call ends it.
    void Form_Load();
    // The resize rule on the window's outer size (see ResizeRule.h).
    void Form_Resize();

    ResultsModel &results() { return *results_; }
    // Tests put the program's folder elsewhere; it is the executable's folder otherwise.
    void setProgramFolder(const QString &folder) { programFolder_ = folder; }

    // CommandHost (frmMainHost.cpp).
    QString databaseText() const override;
    void setDatabaseText(const QString &text) override;
    QString queryText() const override;
    void setQueryText(const QString &text) override;
    QByteArray querySql() const override;
    void setQuerySql(QByteArray utf8) override;
    bool buttonEnabled(Button button) const override;
    void setButtonEnabled(Button button, bool enabled) override;
    QString buttonCaption(Button button) const override;
    void setButtonCaption(Button button, const QString &caption) override;
    void focusButton(Button button) override;
    int unicodeBoxValue() const override;
    QString programFolder() const override;
    QLocale numberLocale() const override { return locale_; }
    WindowPort &port() override { return *port_; }
    Desktop &desktop() override { return desktop_; }
    KestruneBinding &library() override { return library_; }
    ModuleState &state() override { return state_; }

    // The controls, under their designer names (also their object names).
    QLabel *Label1, *Label2;
    QLineEdit *Text1;
    QPlainTextEdit *Text2;
    QPushButton *Command1, *Command2, *Command3, *Command4, *Command5, *Command6, *Command7,
        *Command8, *Command9, *Command10, *Command11, *Command12, *Command13, *Command14,
        *Command15, *Command16, *Command17, *Command18;
    QCheckBox *chkUnicode;
    QGroupBox *Frame1;
    QTableView *lvResults;
    QStatusBar *SB1;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    bool nativeEvent(const QByteArray &eventType, void *message, qintptr *result) override;
    // Closing the window is Exit: the program ends at once, whatever runs.
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void applyDesign();
    void placeStatusBar();
    void Command2_Click();
    // Connect the buttons to their command handlers, one group per file.
    void wireQueryCommands();
    void wireFileCommands();
    QPushButton *button(Button which) const;
    // `Text2` as what it is.
    QueryEdit *queryEdit() const;

    KestruneBinding &library_;
    Desktop &desktop_;
    ModuleState &state_;
    QLocale locale_;
    QString programFolder_;
    ResultsModel *results_;
    std::unique_ptr<MainWindowPort> port_;
    // The window's size with the window manager's frame, and the one the resize rule last worked from.
    QSize outerSize() const;
    QSize ruledOuterSize_;
    // Runs the rule again shortly after the last move, resize or new frame (see nativeEvent).
    QTimer *frameCheck_;
};

} // namespace kest
