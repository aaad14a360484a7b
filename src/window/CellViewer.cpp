#include "CellViewer.h"

#include "CountInRuns.h"
#include "LongestWordWrappedLine.h"
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
#include <cstring>
#include <new>

namespace kest {

const QString CellViewer::Title = QStringLiteral("View Cell");
const QString CellViewer::CopyTooLargeMessage = QStringLiteral("The value is too large to copy in the memory available.");

namespace {

// The characters of UTF-8: its bytes that do not continue a character (100 MB in a few
// milliseconds).
qint64 characterCount(QByteArrayView utf8)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(utf8.data());
    return CountInRuns<1>(0, utf8.size(), [bytes](qsizetype i, auto &sums) { sums[0] += (bytes[i] & 0xC0) != 0x80; })[0];
}

// Indenting grows a value with its depth times its members: a value of 1 MB nested 1,000 deep
// would take gigabytes. One that would grow past this many times its size (or this many bytes,
// for a small one) is shown as it is.
constexpr qsizetype MostIndentedGrowth = 8;
constexpr qsizetype LeastIndentedLimit = 64 * 1024;

// `json` laid out one member or element a line, four blanks a level, its values exactly as they
// were (QJsonDocument's own output would round numbers to doubles and sort the members), into
// `out`, or only measured when `out` is nullptr; its size. Measuring stops past `most`.
qsizetype layOutJson(const QByteArray &json, char *out, qsizetype most)
{
    qsizetype size = 0;
    int depth = 0;
    bool inString = false, opened = false;
    const auto put = [&](char c) {
        if (out != nullptr)
            out[size] = c;
        ++size;
    };
    const auto newLine = [&] {
        put('\n');
        if (out != nullptr)
            std::memset(out + size, ' ', std::size_t(4 * depth));
        size += 4 * depth;
    };
    for (qsizetype i = 0; i < json.size() && size <= most; ++i) {
        const char c = json[i];
        if (inString) {
            put(c);
            if (c == '\\')
                put(json[++i]);
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
            put(c);
            continue;
        }
        if (opened)
            newLine();
        opened = false;
        put(c);
        if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            ++depth;
            opened = true;
        } else if (c == ',') {
            newLine();
        } else if (c == ':') {
            put(' ');
        }
    }
    return size;
}

} // namespace

// What is said of a JSON object or array: shown indented, or why it is shown as it is (it would
// grow too much, or not fit in the memory budget); nothing for a value that is not one.
QString CellViewer::indentJson(MemoryBudget *budget)
{
    const QByteArray start = value_.left(64).trimmed();
    if (value_.size() > LargestIndentedJson || !(start.startsWith('{') || start.startsWith('[')))
        return {};
    QJsonParseError error;
    QJsonDocument::fromJson(value_, &error);
    if (error.error != QJsonParseError::NoError)
        return {};
    const qsizetype most = std::max(MostIndentedGrowth * value_.size(), LeastIndentedLimit);
    const qsizetype size = layOutJson(value_, nullptr, most);
    if (size > most)
        return tr("; JSON, shown as it is: indented it would be over %1 times as long").arg(MostIndentedGrowth);
    try {
        indented_ = AllocateBudgeted<char>(budget, std::size_t(size));
    } catch (const std::bad_alloc &) {
        return tr("; JSON, shown as it is: indented it would not fit in the memory available");
    }
    layOutJson(value_, indented_.get(), size);
    shown_ = QByteArray::fromRawData(indented_.get(), size);
    return tr("; JSON, shown indented");
}

namespace {

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
    shown_ = value_;
    const QString json = indentJson(copy.budget());
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
                                  json,
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
        copy.copyText([this](QIODevice &out) { return out.write(value_) == value_.size(); }, CopyTooLargeMessage);
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
