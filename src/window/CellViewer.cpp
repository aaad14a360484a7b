#include "CellViewer.h"

#include "ResultsCopy.h"
#include "engine/MemoryBudget.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace kest {

const QString CellViewer::Title = QStringLiteral("View Cell");
const QString CellViewer::CopyTooLargeMessage = QStringLiteral("The value is too large to copy in the memory available.");

namespace {

// A line longer than this is broken anywhere, not at words: Qt finds word breaks in a line that
// has none in time that grows with the square of its length (as in the query window).
constexpr qsizetype LongestWordWrappedLine = 10000;

// The characters of UTF-8: its bytes that do not continue a character. Summed 64 bytes at a
// time into a byte-sized sum, a loop the compiler runs on many bytes at once (100 MB in a few
// milliseconds).
qint64 characterCount(QByteArrayView utf8)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(utf8.data());
    constexpr int Run = 64;
    qint64 count = 0;
    qsizetype i = 0;
    for (; i + Run <= utf8.size(); i += Run) {
        unsigned char run = 0;
        for (int j = 0; j < Run; ++j)
            run += (bytes[i + j] & 0xC0) != 0x80;
        count += run;
    }
    for (; i < utf8.size(); ++i)
        count += (bytes[i] & 0xC0) != 0x80;
    return count;
}

// `json` laid out one member or element a line, four blanks a level, its values exactly as they
// were (QJsonDocument's own output would round numbers to doubles and sort the members). Empty
// when `json` is not an object or array that parses.
QByteArray indentedJson(const QByteArray &json)
{
    const QByteArray start = json.left(64).trimmed();
    if (json.size() > CellViewer::LargestIndentedJson || !(start.startsWith('{') || start.startsWith('[')))
        return {};
    QJsonParseError error;
    QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        return {};
    QByteArray out;
    out.reserve(json.size() * 2);
    int depth = 0;
    bool inString = false, opened = false;
    const auto newLine = [&] { out += '\n' + QByteArray(4 * depth, ' '); };
    for (qsizetype i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (inString) {
            out += c;
            if (c == '\\')
                out += json[++i];
            else if (c == '"')
                inString = false;
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r')
            continue;
        if (c == '}' || c == ']') {
            --depth;
            if (!opened) // an empty object or array stays on its line
                newLine();
            opened = false;
            out += c;
            continue;
        }
        if (opened)
            newLine();
        opened = false;
        out += c;
        if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            ++depth;
            opened = true;
        } else if (c == ',') {
            newLine();
        } else if (c == ':') {
            out += ' ';
        }
    }
    return out;
}

bool holdsLongLine(QStringView text)
{
    qsizetype from = 0;
    for (qsizetype end; (end = text.indexOf(u'\n', from)) >= 0; from = end + 1)
        if (end - from > LongestWordWrappedLine)
            return true;
    return text.size() - from > LongestWordWrappedLine;
}

} // namespace

CellViewer::CellViewer(QWidget *parent, const QString &title, std::string_view value, const QAbstractItemModel &model,
                       ResultsCopy &copy)
    : QDialog(parent), value_(QByteArray::fromRawData(value.data(), static_cast<qsizetype>(value.size())))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(title);
    connect(&model, &QAbstractItemModel::modelAboutToBeReset, this, &QDialog::reject);
    connect(&model, &QAbstractItemModel::rowsAboutToBeRemoved, this, &QDialog::reject);
    connect(&model, &QAbstractItemModel::columnsAboutToBeRemoved, this, &QDialog::reject);
    shown_ = indentedJson(value_);
    const bool indented = !shown_.isNull();
    if (!indented)
        shown_ = value_;
    parts_.push_back(0);
    for (qsizetype at = PartBytes; at < shown_.size(); at = parts_.back() + PartBytes) {
        while ((static_cast<unsigned char>(shown_.at(at)) & 0xC0) == 0x80)
            --at; // not inside a character
        parts_.push_back(at);
    }
    parts_.push_back(shown_.size());

    const QLocale numbers = locale();
    auto *length = new QLabel(tr("%1 characters, %2 bytes").arg(numbers.toString(characterCount(value_)),
                                                               numbers.toString(value_.size())) +
                                  (indented ? tr("; JSON, shown indented") : QString()),
                              this);
    text_ = new QPlainTextEdit(this);
    text_->setReadOnly(true);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    text_->setAccessibleName(tr("Cell value"));
    text_->setAccessibleDescription(length->text());
    wrap_ = new QCheckBox(tr("&Wrap lines"), this);
    wrap_->setChecked(true);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(wrap_);
    if (parts_.size() > 2) {
        partLabel_ = new QLabel(this);
        previous_ = new QPushButton(tr("&Previous part"), this);
        next_ = new QPushButton(tr("&Next part"), this);
        buttons->addWidget(partLabel_);
        buttons->addWidget(previous_);
        buttons->addWidget(next_);
        connect(previous_, &QPushButton::clicked, this, [this] { showPart(part_ - 1); });
        connect(next_, &QPushButton::clicked, this, [this] { showPart(part_ + 1); });
    }
    auto *copyButton = new QPushButton(tr("&Copy"), this);
    auto *close = new QPushButton(tr("Close"), this);
    close->setDefault(true);
    buttons->addStretch();
    buttons->addWidget(copyButton);
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(length);
    layout->addWidget(text_);
    layout->addLayout(buttons);
    resize(640, 420);

    connect(wrap_, &QCheckBox::toggled, this, &CellViewer::setWrapped);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(copyButton, &QPushButton::clicked, this, [this, &copy] {
        copy.copyText(
            [this](BudgetReservation &reservation) {
                reservation.add(2 * value_.size());
                return std::optional<QString>(QString::fromUtf8(value_));
            },
            CopyTooLargeMessage);
    });
    showPart(0);
    text_->setFocus();
}

CellViewer::~CellViewer() = default;

void CellViewer::showPart(int part)
{
    part_ = std::clamp(part, 0, static_cast<int>(parts_.size()) - 2);
    const qsizetype from = parts_[std::size_t(part_)];
    const QString text = QString::fromUtf8(shown_.constData() + from, parts_[std::size_t(part_) + 1] - from);
    // Chosen before the text is laid out, so that a long line is laid out only the fast way.
    longLine_ = holdsLongLine(text);
    setWrapped(wrap_->isChecked());
    text_->setPlainText(text);
    if (partLabel_ == nullptr)
        return;
    partLabel_->setText(tr("Part %1 of %2").arg(locale().toString(part_ + 1), locale().toString(parts_.size() - 1)));
    previous_->setEnabled(part_ > 0);
    next_->setEnabled(part_ + 2 < static_cast<int>(parts_.size()));
}

void CellViewer::setWrapped(bool wrapped)
{
    text_->setWordWrapMode(longLine_ ? QTextOption::WrapAnywhere : QTextOption::WrapAtWordBoundaryOrAnywhere);
    text_->setLineWrapMode(wrapped ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
}

} // namespace kest
