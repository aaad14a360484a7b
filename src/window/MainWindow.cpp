#include "MainWindow.h"

#include "Commands.h"
#include "Exit.h"
#include "files/Desktop.h"
#include "FileDrop.h"
#include "FormDesign.h"
#include "KestruneBinding.h"
#include "LongestWordWrappedLine.h"
#include "MainWindowPort.h"
#include "ProgramState.h"
#include "QueryEdit.h"
#include "QueryWindowKeys.h"
#include "ResizeRule.h"
#include "ResultsCopy.h"
#include "ResultsDelegate.h"
#include "ResultsMenu.h"
#include "ResultsModel.h"
#include "UnicodeSwitch.h"
#include "RunKeys.h"
#include "SqlHighlighter.h"
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

#include <vector>

namespace kest {

const QString SortTooLargeMessage = QStringLiteral("The rows are too many to sort in the memory available.");
const QString SortTooLargeTitle = QStringLiteral("Sort");

namespace {

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

MainWindow::MainWindow(KestruneBinding &library, Desktop &desktop, ProgramState &state,
                       const QLocale &locale, QWidget *parent)
    : QWidget(parent), library_(library), desktop_(desktop), state_(state), locale_(locale),
      results_(new ResultsModel(this))
{
    setObjectName(QLatin1String(design::WindowName));
    createControls();
    setUpQueryWindowAndList();
    results_->chargeTo(&library_); // rows that Exec adds count against the memory budget
    port_ = std::make_unique<MainWindowPort>(*this, *statusBar, *resultsView, *results_);
    new QueryWindowKeys(queryEdit, desktop_); // owned by queryEdit, whose key presses it watches
    auto *copy = new ResultsCopy(resultsView, *results_, desktop_, &library_); // owned by the list
    new ResultsMenu(resultsView, *results_, *copy, desktop_);                // owned by the list
    new FileDrop(this, {databaseEdit, queryEdit->viewport()}, *button(Button::LoadScript), *this); // owned by the window
    AddRunKeys(this, button(Button::RunQuery), button(Button::Exec), button(Button::Stop));
    frameCheck_ = new QTimer(this);
    frameCheck_->setSingleShot(true);
    frameCheck_->setInterval(100);
    connect(frameCheck_, &QTimer::timeout, this, [this] {
        if (outerSize() != ruledOuterSize_)
            onResize();
    });
    for (const Command &command : commands())
        connect(button(command.button), &QPushButton::clicked, this, [this, &command] { Click(*this, command); });
    // Any change of the box's value, by a click or by the program, is its Click event.
    connect(unicodeBox, &QCheckBox::stateChanged, this, [this] { onUnicodeBoxChanged(*this); });
}

MainWindow::~MainWindow() = default;

QWidget *MainWindow::createControl(const design::Control &control, QWidget *parent)
{
    const QString caption = QString::fromUtf8(control.caption);
    using enum design::Kind;
    switch (control.kind) {
    case Label: return new QLabel(caption, parent);
    case LineEdit: return databaseEdit = new QLineEdit(parent);
    case TextEdit: return queryEdit = new kest::QueryEdit(parent);
    case Button: return buttons_[static_cast<std::size_t>(control.button)] = new QPushButton(caption, parent);
    case CheckBox: return unicodeBox = new QCheckBox(caption, parent);
    case Frame: return new QGroupBox(caption, parent);
    case List: return resultsView = new QTableView(parent);
    case StatusBar: return statusBar = new QStatusBar(parent);
    }
    Q_UNREACHABLE();
}

void MainWindow::createControls()
{
    // The window's default font, which the other controls use, is the form's usual 8.25 points:
    // the captions were laid out for it and fit their buttons only at that size.
    setFont(designFont(8.25));
    QWidget *frame = nullptr;
    QLabel *label = nullptr; // until the field it names is made
    std::vector<QWidget *> focusOrder(design::controls().size());
    for (const design::Control &control : design::controls()) {
        QWidget *const widget = createControl(control, control.place.inFrame ? frame : this);
        widget->setObjectName(QLatin1String(control.name));
        widget->setGeometry(design::toPixels(control.place));
        if (control.toolTip)
            widget->setToolTip(QString::fromUtf8(control.toolTip));
        if (control.accessibleName)
            widget->setAccessibleName(QString::fromUtf8(control.accessibleName));
        if (control.kind == design::Kind::Label || control.kind == design::Kind::TextEdit)
            widget->setFont(designFont(9.75));
        if (label != nullptr) {
            label->setBuddy(widget);
            label = nullptr;
        }
        if (control.kind == design::Kind::Label)
            label = static_cast<QLabel *>(widget);
        if (control.kind == design::Kind::Frame)
            frame = widget;
        if (control.tabStop >= 0)
            focusOrder[static_cast<std::size_t>(control.tabStop)] = widget;
    }
    for (std::size_t i = 0; i + 1 < focusOrder.size() && focusOrder[i + 1] != nullptr; ++i)
        setTabOrder(focusOrder[i], focusOrder[i + 1]);
}

void MainWindow::setUpQueryWindowAndList()
{
    // A multi-line box of a form: Tab moves on to the next control.
    queryEdit->setTabChangesFocus(true);
    // Qt breaks a line that has no place to break at a word (a megabyte of hex in a loaded
    // script) in time that grows with the square of its length: minutes, the window frozen.
    // While the box holds such a line, lines break anywhere, in time that grows with the length.
    // The switch is made when the text changes and before the new text is laid out, so a pasted
    // or loaded long line is laid out only the fast way.
    connect(queryEdit->document(), &QTextDocument::contentsChange, queryEdit, [edit = queryEdit](int from, int, int added) {
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
    resultsView->setModel(results_);
    resultsView->setItemDelegate(new ResultsDelegate(*results_, resultsView));
    resultsView->verticalHeader()->hide();
    resultsView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // A row as tall as one line of the list's font and a small margin, as a list in report view
    // draws it; the header's own default fits a button-sized row, twice that.
    constexpr int RowMarginPixels = 4;
    resultsView->verticalHeader()->setMinimumSectionSize(1);
    resultsView->verticalHeader()->setDefaultSectionSize(resultsView->fontMetrics().height() + RowMarginPixels);
    resultsView->setShowGrid(false);
    resultsView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    resultsView->setWordWrap(false);
    // Tab leaves the list for the next control instead of walking its cells.
    resultsView->setTabKeyNavigation(false);
    // Whenever rows show, one cell is current: screen readers start from it, and Qt 6.4's
    // accessibility bridge fails on a table that shows rows without one.
    const auto keepACurrentCell = [list = resultsView, model = results_] {
        if (!list->currentIndex().isValid() && model->rowCount() > 0 && model->columnCount() > 0)
            list->selectionModel()->setCurrentIndex(model->index(0, 0), QItemSelectionModel::NoUpdate);
    };
    connect(results_, &QAbstractItemModel::rowsInserted, resultsView, keepACurrentCell);
    connect(results_, &QAbstractItemModel::columnsInserted, resultsView, keepACurrentCell);
    connect(results_, &QAbstractItemModel::modelReset, resultsView, keepACurrentCell);
    // A click on a column header sorts the rows shown, the next one the other way; new rows show
    // in the query's order, without an indicator.
    QHeaderView *const header = resultsView->horizontalHeader();
    header->setSortIndicator(-1, Qt::AscendingOrder);
    header->setSortIndicatorShown(true);
    header->setSectionsClickable(true);
    connect(header, &QHeaderView::sortIndicatorChanged, results_, &ResultsModel::sort);
    connect(results_, &ResultsModel::rowsInQueryOrder, header, [header] { header->setSortIndicator(-1, Qt::AscendingOrder); });
    connect(results_, &ResultsModel::sortTooLarge, this, [this] {
        desktop_.message(SortTooLargeMessage, SortTooLargeTitle, MessageButtons::Ok, MessageIcon::Critical);
    });

    resize(design::designClientSize());
}

void MainWindow::onLoad()
{
    databaseEdit->setText(QStringLiteral("Albums.db"));
    queryEdit->setPlainText(QStringLiteral("-- Kestrune Tolvane Demo: runs SQL through the kestrune3 library\r\n"
                                           "-- How to use it: the Website button opens the README\r\n"
                                           "Select * from <insert-table-name-here>"));
    ShowVersionInfo(library_, *this, *port_, locale_);
    new SqlHighlighter(queryEdit, EngineKeywords(library_)); // owned by queryEdit
    button(Button::Stop)->setEnabled(false);
    resultsView->setShowGrid(true);
    state_.UseUnicode = false;
    library_.SetUnicodeConversion(0);
    unicodeBox->setChecked(state_.UseUnicode);
    button(Button::RunQuery)->setFocus();
}

QSize MainWindow::outerSize() const
{
    // The window's own reading of its frame: the widget keeps the frame it saw at the last move
    // or resize, the window reads it again once the window manager has announced a new one.
    return windowHandle() ? windowHandle()->frameGeometry().size() : frameGeometry().size();
}

void MainWindow::onResize()
{
    ruledOuterSize_ = outerSize();
    resultsView->resize(resizedList(resultsView->size(), ruledOuterSize_));
}

void MainWindow::placeStatusBar()
{
    // The status bar stays along the window's bottom edge over its full width, as status bars
    // do; at the design size that is its design place.
    const int height = design::toPixels(design::StatusBarHeightTwips);
    statusBar->setGeometry(0, this->height() - height, width(), height);
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    onResize();
    placeStatusBar();
    frameCheck_->start();
}

void MainWindow::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    // A window manager frames the window only after its first resize, when it is shown, and
    // tells the program by moving it; a new frame (another decoration) comes the same way. The
    // outer size the rule works from is known only then. A frame that changes with the window's
    // state (a maximised window loses its borders) comes apart from the move or resize.
    if (outerSize() != ruledOuterSize_)
        onResize();
    frameCheck_->start();
}

bool MainWindow::nativeEvent(const QByteArray &eventType, void *message, qintptr *result)
{
    // The window manager announces a new frame by a property of the window (_NET_FRAME_EXTENTS),
    // sometimes well after the move or resize that came with it; any property change has the
    // rule look again once the toolkit has read it.
    constexpr unsigned char PropertyNotify = 28; // the X protocol's event code
    if (eventType == "xcb_generic_event_t" && (*static_cast<const unsigned char *>(message) & 0x7f) == PropertyNotify)
        frameCheck_->start();
    return QWidget::nativeEvent(eventType, message, result);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    event->accept();
    port_->stopFilling();
    Exit(state_);
}

} // namespace kest
