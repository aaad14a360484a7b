#include "frmMain.h"

#include "Exit.h"
#include "FormDesign.h"
#include "KestruneBinding.h"
#include "MainWindowPort.h"
#include "ModuleState.h"
#include "QueryEdit.h"
#include "QueryWindowKeys.h"
#include "ResizeRule.h"
#include "ResultsCopy.h"
#include "ResultsModel.h"
#include "VersionBanner.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QWindow>

namespace kest {

namespace {

template <typename W> W *control(const char *name, QWidget *parent)
{
    auto *widget = new W(parent);
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// "MS Sans Serif" at `points`; the platform substitutes its own sans serif.
QFont designFont(qreal points)
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(points);
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(QFont::Normal);
    return font;
}

} // namespace

frmMain::frmMain(KestruneBinding &library, Desktop &desktop, ModuleState &state,
                 const QLocale &locale, QWidget *parent)
    : QWidget(parent), library_(library), desktop_(desktop), state_(state), locale_(locale),
      results_(new ResultsModel(this))
{
    setObjectName(QStringLiteral("frmMain"));
    createControls();
    applyDesign();
    results_->drawFrom(&library_); // rows that Exec adds count against the memory budget
    port_ = std::make_unique<MainWindowPort>(*this, *SB1, *lvResults, *results_);
    new QueryWindowKeys(queryEdit(), desktop_); // owned by Text2, whose key presses it watches
    new ResultsCopy(lvResults, *results_, desktop_, &library_); // owned by the list
    connect(Command2, &QPushButton::clicked, this, &frmMain::Command2_Click);
    frameCheck_ = new QTimer(this);
    frameCheck_->setSingleShot(true);
    frameCheck_->setInterval(100);
    connect(frameCheck_, &QTimer::timeout, this, [this] {
        if (outerSize() != ruledOuterSize_)
            Form_Resize();
    });
    wireQueryCommands();
    wireFileCommands();
}

frmMain::~frmMain() = default;

void frmMain::createControls()
{
    Label1 = control<QLabel>("Label1", this);
    Text1 = control<QLineEdit>("Text1", this);
    Command3 = control<QPushButton>("Command3", this);
    Label2 = control<QLabel>("Label2", this);
    Text2 = control<QueryEdit>("Text2", this);
    Command7 = control<QPushButton>("Command7", this);
    Command5 = control<QPushButton>("Command5", this);
    Command8 = control<QPushButton>("Command8", this);
    Command17 = control<QPushButton>("Command17", this);
    Command2 = control<QPushButton>("Command2", this);
    chkUnicode = control<QCheckBox>("chkUnicode", this);
    Frame1 = control<QGroupBox>("Frame1", this);
    Command9 = control<QPushButton>("Command9", Frame1);
    Command11 = control<QPushButton>("Command11", Frame1);
    Command10 = control<QPushButton>("Command10", Frame1);
    Command16 = control<QPushButton>("Command16", Frame1);
    Command1 = control<QPushButton>("Command1", this);
    Command12 = control<QPushButton>("Command12", this);
    Command14 = control<QPushButton>("Command14", this);
    Command13 = control<QPushButton>("Command13", this);
    Command18 = control<QPushButton>("Command18", this);
    Command15 = control<QPushButton>("Command15", this);
    Command6 = control<QPushButton>("Command6", this);
    Command4 = control<QPushButton>("Command4", this);
    lvResults = control<QTableView>("lvResults", this);
    SB1 = control<QStatusBar>("SB1", this);
}

void frmMain::applyDesign()
{
    for (const design::Caption &caption : design::captions()) {
        QWidget *widget = findChild<QWidget *>(QLatin1String(caption.name));
        const QString text = QString::fromUtf8(caption.caption);
        if (auto *button = qobject_cast<QAbstractButton *>(widget))
            button->setText(text);
        else if (auto *label = qobject_cast<QLabel *>(widget))
            label->setText(text);
        else if (auto *frame = qobject_cast<QGroupBox *>(widget))
            frame->setTitle(text);
        if (caption.toolTip)
            widget->setToolTip(QString::fromUtf8(caption.toolTip));
    }
    for (const design::Place &place : design::places())
        findChild<QWidget *>(QLatin1String(place.name))->setGeometry(design::toPixels(place));
    for (const design::Buddy &buddy : design::buddies())
        findChild<QLabel *>(QLatin1String(buddy.label))->setBuddy(findChild<QWidget *>(QLatin1String(buddy.field)));
    for (const design::AccessibleName &name : design::accessibleNames())
        findChild<QWidget *>(QLatin1String(name.name))->setAccessibleName(QString::fromUtf8(name.accessibleName));

    // The window's default font, which the other controls use, is the form's usual 8.25 points:
    // the captions were laid out for it and fit their buttons only at that size.
    setFont(designFont(8.25));
    const QFont font = designFont(9.75);
    Text2->setFont(font);
    Label1->setFont(font);
    Label2->setFont(font);
    // A multi-line box of a form: Tab moves on to the next control.
    Text2->setTabChangesFocus(true);
    // Qt breaks a line that has no place to break at a word (a megabyte of hex in a loaded
    // script) in time that grows with the square of its length: minutes, the window frozen.
    // While the box holds such a line, lines break anywhere, in time that grows with the length.
    // The switch is made when the text changes and before the new text is laid out, so a pasted
    // or loaded long line is laid out only the fast way.
    connect(Text2->document(), &QTextDocument::contentsChange, Text2, [edit = Text2](int from, int, int added) {
        constexpr int LongestWordWrappedLine = 10000;
        const QTextDocument *document = edit->document();
        const auto longLineIn = [](QTextBlock block, const QTextBlock &end) {
            for (; block.isValid() && block != end; block = block.next())
                if (block.length() > LongestWordWrappedLine)
                    return true;
            return false;
        };
        // The changed blocks decide, unless breaking anywhere is on: then any long line left keeps it.
        const bool anywhere = edit->wordWrapMode() == QTextOption::WrapAnywhere;
        const bool longLine = anywhere ? longLineIn(document->begin(), QTextBlock())
                                       : longLineIn(document->findBlock(from), document->findBlock(from + added).next());
        const auto mode = longLine ? QTextOption::WrapAnywhere : QTextOption::WrapAtWordBoundaryOrAnywhere;
        if (edit->wordWrapMode() != mode)
            edit->setWordWrapMode(mode);
    });

    // A list in report view: column headers, no row numbers, no grid until start-up asks for it.
    lvResults->setModel(results_);
    lvResults->verticalHeader()->hide();
    lvResults->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // A row as tall as one line of the list's font and a small margin, as a list in report view
    // draws it; the header's own default fits a button-sized row, twice that.
    constexpr int RowMarginPixels = 4;
    lvResults->verticalHeader()->setMinimumSectionSize(1);
    lvResults->verticalHeader()->setDefaultSectionSize(lvResults->fontMetrics().height() + RowMarginPixels);
    lvResults->setShowGrid(false);
    lvResults->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvResults->setWordWrap(false);
    // Tab leaves the list for the next control instead of walking its cells.
    lvResults->setTabKeyNavigation(false);
    // Whenever rows show, one cell is current: screen readers start from it, and Qt 6.4's
    // accessibility bridge fails on a table that shows rows without one.
    const auto keepACurrentCell = [list = lvResults, model = results_] {
        if (!list->currentIndex().isValid() && model->rowCount() > 0 && model->columnCount() > 0)
            list->selectionModel()->setCurrentIndex(model->index(0, 0), QItemSelectionModel::NoUpdate);
    };
    connect(results_, &QAbstractItemModel::rowsInserted, lvResults, keepACurrentCell);
    connect(results_, &QAbstractItemModel::columnsInserted, lvResults, keepACurrentCell);
    connect(results_, &QAbstractItemModel::modelReset, lvResults, keepACurrentCell);

    const auto order = design::focusOrder();
    for (std::size_t i = 0; i + 1 < order.size(); ++i)
        setTabOrder(findChild<QWidget *>(QLatin1String(order[i])),
                    findChild<QWidget *>(QLatin1String(order[i + 1])));

    resize(design::designClientSize());
}

void frmMain::Form_Load()
{
    Text1->setText(QStringLiteral("Albums.db"));
    Text2->setPlainText(QStringLiteral("-- Kestrune Tolvane Demo: runs SQL through the kestrune3 library\r\n"
                                       "-- How to use it: the Website button opens the README\r\n"
                                       "Select * from <insert-table-name-here>"));
    ShowVersionInfo(library_, *this, *port_, locale_);
    Command14->setEnabled(false);
    lvResults->setShowGrid(true);
    state_.UseUnicode = False16;
    library_.SetUnicodeConversion(0);
    chkUnicode->setChecked(state_.UseUnicode != False16);
    Command1->setFocus();
}

QSize frmMain::outerSize() const
{
    // The window's own reading of its frame: the widget keeps the frame it saw at the last move
    // or resize, the window reads it again once the window manager has announced a new one.
    return windowHandle() ? windowHandle()->frameGeometry().size() : frameGeometry().size();
}

void frmMain::Form_Resize()
{
    ruledOuterSize_ = outerSize();
    lvResults->resize(resizedList(lvResults->size(), ruledOuterSize_));
}

void frmMain::placeStatusBar()
{
    // The status bar stays along the window's bottom edge over its full width, as status bars
    // do; at the design size that is its design place.
    const int height = design::toPixels(design::place("SB1").height);
    SB1->setGeometry(0, this->height() - height, width(), height);
}

void frmMain::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
    placeStatusBar();
    frameCheck_->start();
}

void frmMain::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    // A window manager frames the window only after its first resize, when it is shown, and
    // tells the program by moving it; a new frame (another decoration) comes the same way. The
    // outer size the rule works from is known only then. A frame that changes with the window's
    // state (a maximised window loses its borders) comes apart from the move or resize.
    if (outerSize() != ruledOuterSize_)
        Form_Resize();
    frameCheck_->start();
}

bool frmMain::nativeEvent(const QByteArray &eventType, void *message, qintptr *result)
{
    // The window manager announces a new frame by a property of the window (_NET_FRAME_EXTENTS),
    // sometimes well after the move or resize that came with it; any property change has the
    // rule look again once the toolkit has read it.
    constexpr unsigned char PropertyNotify = 28; // the X protocol's event code
    if (eventType == "xcb_generic_event_t" && (*static_cast<const unsigned char *>(message) & 0x7f) == PropertyNotify)
        frameCheck_->start();
    return QWidget::nativeEvent(eventType, message, result);
}

void frmMain::closeEvent(QCloseEvent *event)
{
    event->accept();
    port_->stopFilling();
    Exit(state_);
}

void frmMain::Command2_Click()
{
    close();
}

} // namespace kest
