#include "QueryEdit.h"

#include "CountInRuns.h"
#include "GiveBackMemory.h"
#include "Utf8Text.h"
#include "QueryThread.h"

#include <QKeyEvent>
#include <QLocale>
#include <QMimeData>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace kest {

namespace {

// The length of the line end at `i`, 0 when there is none; CR LF is the one that stays as it is.
qsizetype lineEndAt(const char *text, qsizetype size, qsizetype i)
{
    const char c = text[i];
    if (c == '\n')
        return 1;
    if (c == '\r')
        return i + 1 < size && text[i + 1] == '\n' ? 2 : 1;
    // U+2028 and U+2029, the editor's own line and paragraph separators.
    if (c == '\xE2' && i + 2 < size && text[i + 1] == '\x80' && (text[i + 2] == '\xA8' || text[i + 2] == '\xA9'))
        return 3;
    return 0;
}

// Finds the line ends of a text with memchr: the next place of each of the three bytes a line
// end starts with is kept.
class LineEnds {
public:
    LineEnds(const char *text, qsizetype size) : text_(text), size_(size) {}
    // The next line end at or after `from` (size when none), its length in `length`.
    qsizetype next(qsizetype from, qsizetype &length)
    {
        for (;;) {
            const qsizetype at = std::min({find(0, '\n', from), find(1, '\r', from), find(2, '\xE2', from)});
            if (at == size_ || (length = lineEndAt(text_, size_, at)) != 0)
                return at;
            from = at + 1; // a character that only starts like a separator
        }
    }

private:
    qsizetype find(int which, char byte, qsizetype from)
    {
        if (next_[which] < from) {
            const void *found = std::memchr(text_ + from, byte, std::size_t(size_ - from));
            next_[which] = found ? static_cast<const char *>(found) - text_ : size_;
        }
        return next_[which];
    }

    const char *text_;
    qsizetype size_;
    qsizetype next_[3] = {-1, -1, -1};
};

struct LineEndBytes {
    qsizetype lf = 0, cr = 0, crLf = 0;
};

// Counted in runs (CountInRuns.h): a gigabyte of short lines in about a tenth of a second, where
// a memchr call for each line took most of a second.
LineEndBytes countLineEndBytes(const char *text, qsizetype size)
{
    if (size == 0)
        return {};
    const auto counts = CountInRuns<3>(1, size, [text](qsizetype i, auto &sums) {
        sums[0] += text[i] == '\n';
        sums[1] += text[i] == '\r';
        sums[2] += (text[i] == '\n') & (text[i - 1] == '\r');
    });
    return {(text[0] == '\n') + counts[0], (text[0] == '\r') + counts[1], counts[2]};
}

// Whether the text holds U+2028 or U+2029; its first byte is rare in any text.
bool holdsSeparator(const char *text, qsizetype size)
{
    for (const char *at = text, *end = text + size;
         (at = static_cast<const char *>(std::memchr(at, '\xE2', std::size_t(end - at)))) != nullptr; ++at)
        if (lineEndAt(text, size, at - text) == 3)
            return true;
    return false;
}

// Every line end made CR LF in a new text.
QByteArray copiedWithCrLf(const char *text, qsizetype size)
{
    LineEnds lineEnds(text, size);
    QByteArray result;
    result.reserve(size + size / 8 + 2); // CR LF for LF: lines are rarely shorter than 8 bytes
    qsizetype length = 0;
    for (qsizetype at = 0; at < size;) {
        const qsizetype end = lineEnds.next(at, length);
        result.append(text + at, end - at);
        if (end < size)
            result.append("\r\n", 2);
        at = end + length;
    }
    return result;
}

// Appends the places of the LF bytes, and of the CR bytes when `crs` says there are any,
// between `from` and `to` to `found`, in order.
void findLineEndBytes(const char *text, qsizetype from, qsizetype to, bool crs, std::vector<qsizetype> &found)
{
    const auto next = [text, to](char byte, qsizetype at) {
        const void *place = std::memchr(text + at, byte, std::size_t(to - at));
        return place ? static_cast<const char *>(place) - text : to;
    };
    qsizetype nextLf = -1, nextCr = crs ? -1 : to;
    for (qsizetype at = from;; ++at) {
        if (nextLf < at)
            nextLf = next('\n', at);
        if (nextCr < at)
            nextCr = next('\r', at);
        if ((at = std::min(nextLf, nextCr)) == to)
            return;
        found.push_back(at);
    }
}

// A text whose line ends are CR, LF and CR LF, `lone` of them not CR LF, grown in place from
// its end: a pasted 100 MB dump is moved once instead of copied into a second buffer of its
// size, whose fresh pages took most of the time. The line ends are found forward, a block at a
// time from the end, with memchr, which every platform has.
QByteArray grownWithCrLf(QByteArray utf8, qsizetype lone, bool crs)
{
    constexpr qsizetype Block = 64 * 1024;
    qsizetype from = utf8.size(); // what is left to move lies before `from`
    utf8.resize(from + lone);
    char *text = utf8.data();
    qsizetype to = utf8.size();
    // Everything from `searched` on has been searched; the line ends found and not yet
    // passed are in `ends`. Only bytes at or after `from` are ever written.
    qsizetype searched = from;
    std::vector<qsizetype> ends;
    while (to > from) { // once the two meet, the rest is already in place
        while (!ends.empty() && ends.back() >= from)
            ends.pop_back(); // the CR of a CR LF, which moved with its LF
        if (ends.empty()) {
            if (searched == 0)
                break; // only with `lone` wrong: a wrong text rather than a load that never ends
            const qsizetype start = std::max<qsizetype>(0, searched - Block);
            findLineEndBytes(text, start, searched, crs, ends);
            searched = start;
            continue;
        }
        const qsizetype at = ends.back();
        ends.pop_back();
        // CR LF moves as it is; a lone CR or LF gets its partner. Asked before the line end
        // is written, which may land on it.
        const bool crLf = text[at] == '\n' && at > 0 && text[at - 1] == '\r';
        const qsizetype tail = from - (at + 1);
        to -= tail;
        std::memmove(text + to, text + at + 1, std::size_t(tail));
        text[--to] = '\n';
        text[--to] = '\r';
        from = crLf ? at - 1 : at;
    }
    return utf8;
}

// The text with every line end CR LF, and how many line ends it then has.
std::pair<QByteArray, qsizetype> withCrLf(QByteArray utf8)
{
    const LineEndBytes bytes = countLineEndBytes(utf8.constData(), utf8.size());
    if (holdsSeparator(utf8.constData(), utf8.size())) { // they shrink: rare enough to be copied
        QByteArray copied = copiedWithCrLf(utf8.constData(), utf8.size());
        const qsizetype ends = countLineEndBytes(copied.constData(), copied.size()).lf;
        return {std::move(copied), ends};
    }
    const qsizetype ends = bytes.lf + bytes.cr - bytes.crLf;
    const qsizetype lone = ends - bytes.crLf; // line ends of one byte, each to become two
    // A loaded script already ends every line with CR LF: it stays as it is, not copied.
    if (lone == 0)
        return {std::move(utf8), ends};
    return {grownWithCrLf(std::move(utf8), lone, bytes.cr > 0), ends};
}

} // namespace

QString CrLfText(QString editorText)
{
    const QLatin1StringView lineEnd("\r\n");
    editorText.replace(QChar::ParagraphSeparator, lineEnd);
    // Shift+Enter breaks a line inside a paragraph; to the program it is a line end too.
    editorText.replace(QChar::LineSeparator, lineEnd);
    return editorText;
}

QString CrLfText(const QPlainTextEdit &edit)
{
    // Not toPlainText(), which also turns each no-break space into a plain blank.
    return CrLfText(edit.document()->toRawText());
}

QueryEdit::QueryEdit(QWidget *parent) : QPlainTextEdit(parent)
{
    // Whatever else changes the editor's text (a test, the editor itself) ends a big text.
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!showing_)
            forgetBigText();
    });
}

void QueryEdit::setCrLfText(const QString &text)
{
    // A text of more than a third of the limit in characters may be past it in bytes.
    if (text.size() > BigTextBytes / 3 && showIfBig([&text] { return text.toUtf8(); }))
        return;
    forgetBigText();
    // Emptied first: the editor lays out a new text in place of a long line in time that grows
    // with the square of the line's length (a minute for a megabyte), an empty one at once.
    clear();
    setPlainText(text);
}

void QueryEdit::setCrLfUtf8(QByteArray utf8)
{
    if (utf8.size() > BigTextBytes)
        showIfBig([&utf8] { return std::move(utf8); });
    else
        setCrLfText(Utf8Text(utf8));
}

bool QueryEdit::showIfBig(const std::function<QByteArray()> &utf8)
{
    // A gigabyte's conversion and count take most of a second: the window answers meanwhile,
    // and its thread only takes the finished text.
    std::pair<QByteArray, qsizetype> big;
    MakeReadyOnQueryThread(
        [&] {
            QByteArray text = utf8();
            if (text.size() > BigTextBytes)
                big = withCrLf(std::move(text));
        });
    if (big.first.isNull())
        return false;
    showBigText(std::move(big.first), big.second);
    return true;
}

QString QueryEdit::crLfText() const
{
    return holdsBigText() ? Utf8Text(bigText_) : CrLfText(*this);
}

QByteArray QueryEdit::crLfUtf8() const
{
    return holdsBigText() ? bigText_ : CrLfText(*this).toUtf8();
}

QString QueryEdit::selectedCrLfText() const
{
    if (holdsBigText())
        return textCursor().hasSelection() ? crLfText() : QString();
    return CrLfText(textCursor().selectedText());
}

QMimeData *QueryEdit::createMimeDataFromSelection() const
{
    auto *data = new QMimeData;
    data->setText(selectedCrLfText());
    return data;
}

void QueryEdit::keyPressEvent(QKeyEvent *event)
{
    if (holdsBigText() && (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace)) {
        setCrLfText(QString());
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void QueryEdit::showBigText(QByteArray utf8, qsizetype lineEnds)
{
    qsizetype shown = std::min(utf8.size(), ShownBytes);
    // Cut before a whole character.
    while (shown < utf8.size() && shown > 0 && (static_cast<unsigned char>(utf8.at(shown)) & 0xC0) == 0x80)
        --shown;
    const qsizetype lines = lineEnds + (utf8.endsWith('\n') ? 0 : 1);
    const QString note = QStringLiteral("\n\u2026\n[Shown in part: %1 bytes in %2 lines. Run Query, Exec, Save Script "
                                        "and Copy take the whole text; Delete empties the query window.]")
                             .arg(locale().toString(utf8.size()), locale().toString(lines));
    showing_ = true;
    QByteArray replaced = std::exchange(bigText_, std::move(utf8));
    clear();
    setPlainText(Utf8Text(QByteArrayView(bigText_.constData(), shown)) + note);
    setReadOnly(true);
    showing_ = false;
    // Freeing a gigabyte takes the system a tenth of a second: not on the window's thread.
    if (!replaced.isNull())
        RunOnQueryThread([&replaced] { replaced = QByteArray(); });
    // Once the command that brought the text has returned, the copies it came through (the
    // clipboard's, the file's bytes) have been freed and can go back to the system.
    QTimer::singleShot(0, this, [] { GiveBackFreedMemory(); });
}

void QueryEdit::forgetBigText()
{
    if (!holdsBigText())
        return;
    bigText_ = QByteArray();
    setReadOnly(false);
    GiveBackFreedMemory();
}

} // namespace kest
