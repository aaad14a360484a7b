#pragma once
// The program's one window. Construction, layout and wiring only: each command lives in its own
// file under src/commands, the engine reaches the window through port().

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

namespace kest {

class Desktop;
class KestruneBinding;
class ResultsModel;
class WindowPort;
struct ModuleState;

class frmMain : public QWidget {
    Q_OBJECT
public:
    frmMain(KestruneBinding &library, Desktop &desktop, ModuleState &state,
            const QLocale &locale = QLocale(), QWidget *parent = nullptr);
    ~frmMain() override;

    // Start-up. Traps nothing: a LibraryError from the banner's first library call ends it.
    void Form_Load();
    // The resize rule on the window's outer size (see ResizeRule.h).
    void Form_Resize();

    WindowPort &port() { return *port_; }
    ResultsModel &results() { return *results_; }

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
    // Closing the window is Exit: the program ends at once, whatever runs.
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void applyDesign();
    void placeStatusBar();
    void Command2_Click();

    KestruneBinding &library_;
    Desktop &desktop_;
    ModuleState &state_;
    QLocale locale_;
    ResultsModel *results_;
    std::unique_ptr<WindowPort> port_;
};

} // namespace kest
