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
#include <charconv>
#include <cmath>
#include <cstring>
#include <iterator>
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

// A BLOB's hex: whole lines of 16 bytes a part, three characters a byte within a part's size.
constexpr qsizetype HexLineBytes = 16;
constexpr qsizetype BlobPartBytes = CellViewer::PartBytes / (3 * HexLineBytes) * HexLineBytes;

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

// What is said of the value above it: its type, its length and, for a text, what indentJson said.
QString CellViewer::about(const CellValue &value) const
{
    const QLocale numbers = locale();
    const auto length = [&] {
        return tr(": %1 characters, %2 bytes").arg(numbers.toString(characterCount(value_)), numbers.toString(value_.size()));
    };
    switch (value.type) {
    case CellType::Null: return QStringLiteral("NULL");
    case CellType::Integer: return QStringLiteral("INTEGER") + length();
    case CellType::Text: return QStringLiteral("TEXT") + length();
    case CellType::Blob: return tr("BLOB (%1 bytes), shown as hex").arg(numbers.toString(parts_.back()));
    case CellType::Real: break;
    }
    // The shortest digits that read back as the double, where the engine's 15 do not.
    double read = 0;
    std::from_chars(value.text.data(), value.text.data() + value.text.size(), read);
    char exact[32];
    const auto written = std::to_chars(std::begin(exact), std::end(exact), value.real).ptr;
    return QStringLiteral("REAL") + length() +
           // -0.0 reads back as 0.0, and equals it.
           (read == value.real && std::signbit(read) == std::signbit(value.real)
                ? QString()
                : tr("; exactly %1").arg(QLatin1String(exact, written - exact)));
}

// Bytes [from, to) of a BLOB, two hex digits each, 16 a line.
QString CellViewer::hexOf(qsizetype from, qsizetype to) const
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    QByteArray hex;
    hex.reserve(3 * (to - from));
    for (qsizetype i = from; i < to; ++i) {
        if (i > from)
            hex += i % HexLineBytes == 0 ? '\n' : ' ';
        if (hexForm_) {
            hex.append(value_.constData() + 2 + 2 * i, 2); // after X'
        } else {
            hex += Digits[static_cast<unsigned char>(value_[i]) >> 4];
            hex += Digits[value_[i] & 0x0F];
        }
    }
    return QString::fromLatin1(hex);
}

CellViewer::CellViewer(QWidget *parent, const QString &title, const CellValue &value, const QAbstractItemModel &model,
                       ResultsCopy &copy)
    : QDialog(parent), value_(QByteArray::fromRawData(value.text.data(), static_cast<qsizetype>(value.text.size()))),
      blob_(value.type == CellType::Blob), hexForm_(value.hexForm)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(title);
    connect(&model, &QAbstractItemModel::modelAboutToBeReset, this, &QDialog::reject);
    connect(&model, &QAbstractItemModel::rowsAboutToBeRemoved, this, &QDialog::reject);
    connect(&model, &QAbstractItemModel::columnsAboutToBeRemoved, this, &QDialog::reject);
    shown_ = value_;
    const QString json = value.type == CellType::Text ? indentJson(copy.budget()) : QString();
    parts_.push_back(0);
    if (blob_) {
        // Each part made when shown: the hex of 100 MB would take 300 MB.
        const qsizetype bytes = hexForm_ ? std::max<qsizetype>(0, value_.size() - 3) / 2 : value_.size();
        for (qsizetype at = BlobPartBytes; at < bytes; at += BlobPartBytes)
            parts_.push_back(at);
        parts_.push_back(bytes);
    } else {
        for (qsizetype at = PartBytes; at < shown_.size(); at = parts_.back() + PartBytes) {
            while ((static_cast<unsigned char>(shown_.at(at)) & 0xC0) == 0x80)
                --at; // not inside a character
            parts_.push_back(at);
        }
        parts_.push_back(shown_.size());
    }

    auto *length = new QLabel(about(value) + json, this);
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
    const qsizetype to = parts_[std::size_t(part_) + 1];
    const QString text = blob_ ? hexOf(from, to) : QString::fromUtf8(shown_.constData() + from, to - from);
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
