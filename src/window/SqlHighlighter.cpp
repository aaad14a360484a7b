#include "SqlHighlighter.h"

#include "KestruneBinding.h"
#include "QueryEdit.h"

#include <QElapsedTimer>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

namespace kest {

namespace {

// Documents of more characters (UTF-16 units, as the document counts them) than the most the
// editor is handed at once, a text of QueryEdit::BigTextBytes, stay uncoloured: what grows past
// that by typing costs a key its time.
constexpr int LargestColouredDocument = int(QueryEdit::BigTextBytes);

// What a line ends inside; the next line goes on from there.
enum State { Code, InComment, InString, InQuotedName, InBackquotedName, InBracketedName };

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isHexDigit(QChar c)
{
    return isDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// As the engine reads names: ASCII letters, digits, "_" and "$", and every other character
// beyond ASCII; a name does not start with a digit or "$".
bool isNameChar(QChar c)
{
    return isDigit(c) || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c == u'$' ||
           c.unicode() >= 0x80;
}

bool startsName(QChar c)
{
    return isNameChar(c) && !isDigit(c) && c != u'$';
}

// Where the comment, string or quoted name of `state` that goes on at `from` ends (just past its
// closing characters); -1 when it goes on past the line. A quote inside is doubled.
qsizetype endOf(const QString &text, qsizetype from, int state)
{
    if (state == InComment) {
        const qsizetype end = text.indexOf(QLatin1String("*/"), from);
        return end < 0 ? -1 : end + 2;
    }
    const QChar closer = state == InString ? u'\'' : state == InQuotedName ? u'"' : state == InBackquotedName ? u'`' : u']';
    for (;;) {
        const qsizetype end = text.indexOf(closer, from);
        if (end < 0)
            return -1;
        if (closer == u']' || end + 1 == text.size() || text[end + 1] != closer)
            return end + 1;
        from = end + 2;
    }
}

// Where the number starting at `at` ends, as the engine reads one: 0x and hex digits, or digits
// with a point and an exponent.
qsizetype numberEnd(const QString &text, qsizetype at)
{
    const qsizetype n = text.size();
    if (text[at] == u'0' && at + 2 < n && (text[at + 1] == u'x' || text[at + 1] == u'X') && isHexDigit(text[at + 2])) {
        for (at += 2; at < n && isHexDigit(text[at]); ++at) {
        }
        return at;
    }
    const auto skipDigits = [&] {
        while (at < n && isDigit(text[at]))
            ++at;
    };
    skipDigits();
    if (at < n && text[at] == u'.') {
        ++at;
        skipDigits();
    }
    if (at + 1 < n && (text[at] == u'e' || text[at] == u'E')) {
        const qsizetype digits = text[at + 1] == u'+' || text[at + 1] == u'-' ? at + 2 : at + 1;
        if (digits < n && isDigit(text[digits])) {
            at = digits;
            skipDigits();
        }
    }
    return at;
}

} // namespace

QSet<QString> EngineKeywords(KestruneBinding &library)
{
    QSet<QString> keywords;
    for (int32_t i = 0, count = library.sqlite3_keyword_count(); i < count; ++i)
        keywords.insert(toQString(library.sqlite3_keyword_name(i)));
    return keywords;
}

SqlHighlighter::SqlHighlighter(QueryEdit *edit, QSet<QString> keywords)
    : QObject(edit), edit_(edit), keywords_(std::move(keywords))
{
    // Colours that stand out from the editor's background, light or dark.
    const bool dark = edit->palette().color(QPalette::Base).lightness() < 128;
    keyword_.setForeground(dark ? QColor(0x80, 0xB0, 0xFF) : QColor(0x00, 0x00, 0xA0));
    keyword_.setFontWeight(QFont::Bold);
    string_.setForeground(dark ? QColor(0xFF, 0xA0, 0x70) : QColor(0xA0, 0x20, 0x00));
    number_.setForeground(dark ? QColor(0xE0, 0x90, 0xE0) : QColor(0x80, 0x00, 0x80));
    comment_.setForeground(dark ? QColor(0x80, 0xD0, 0x80) : QColor(0x00, 0x70, 0x00));
    comment_.setFontItalic(true);
    later_.setSingleShot(true);
    connect(&later_, &QTimer::timeout, this, &SqlHighlighter::colourLater);
    connect(edit->document(), &QTextDocument::contentsChange, this, &SqlHighlighter::documentChanged);
    // Lines scrolled into view are coloured at once.
    connect(edit->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (laterFrom_ >= 0)
            later_.start(0);
    });
    documentChanged(0, 0, edit->document()->characterCount());
}

void SqlHighlighter::documentChanged(int from, int, int added)
{
    if (applying_)
        return;
    const QTextDocument *document = edit_->document();
    QTextBlock block = document->findBlock(from);
    const QTextBlock lastChanged = document->findBlock(from + added);
    const int lastChangedNumber = lastChanged.isValid() ? lastChanged.blockNumber() : document->blockCount() - 1;
    const int lastInView = edit_->cursorForPosition(QPoint(0, edit_->viewport()->height())).blockNumber();
    if (laterFrom_ >= 0) // lines may have come or gone above it
        laterFrom_ = std::min(laterFrom_, block.blockNumber());
    for (bool stateChanged = true; block.isValid() && (block.blockNumber() <= lastChangedNumber || stateChanged);
         block = block.next()) {
        if (block.blockNumber() > lastInView + 1) {
            laterFrom_ = laterFrom_ < 0 ? block.blockNumber() : std::min(laterFrom_, block.blockNumber());
            later_.start(LaterDelay);
            return;
        }
        stateChanged = colour(block);
    }
}

void SqlHighlighter::colourLater()
{
    QElapsedTimer slice;
    slice.start();
    for (QTextBlock block = edit_->document()->findBlockByNumber(laterFrom_); block.isValid(); block = block.next()) {
        colour(block);
        if (slice.elapsed() >= SliceMilliseconds) {
            laterFrom_ = block.blockNumber() + 1;
            later_.start(0);
            return;
        }
    }
    laterFrom_ = -1;
}

bool SqlHighlighter::colour(QTextBlock block)
{
    const QString text = block.text();
    int state = std::max(block.previous().userState(), int(Code));
    QList<QTextLayout::FormatRange> formats;
    if (edit_->holdsBigText() || edit_->document()->characterCount() > LargestColouredDocument ||
        text.size() > LongestColouredLine)
        state = Code;
    else
        formats = formatsOf(text, state);
    const bool stateChanged = state != block.userState();
    block.setUserState(state);
    // Laid out again only when its colours change.
    if (formats != block.layout()->formats()) {
        applying_ = true;
        block.layout()->setFormats(formats);
        edit_->document()->markContentsDirty(block.position(), block.length());
        applying_ = false;
    }
    return stateChanged;
}

QList<QTextLayout::FormatRange> SqlHighlighter::formatsOf(const QString &text, int &state) const
{
    QList<QTextLayout::FormatRange> formats;
    const auto setFormat = [&formats](qsizetype start, qsizetype length, const QTextCharFormat &format) {
        formats.append({int(start), int(length), format});
    };
    const qsizetype n = text.size();
    qsizetype at = 0, start = 0; // `start`: where the token of `state` began
    for (;;) {
        if (state != Code) {
            const qsizetype end = endOf(text, at, state);
            const qsizetype stop = end < 0 ? n : end;
            if ((state == InComment || state == InString) && stop > start)
                setFormat(start, stop - start, state == InComment ? comment_ : string_);
            if (end < 0)
                break;
            at = end;
            state = Code;
        }
        if (at >= n)
            break;
        start = at;
        const QChar c = text[at];
        const QChar next = at + 1 < n ? text[at + 1] : QChar();
        if (c == u'-' && next == u'-') {
            setFormat(at, n - at, comment_);
            break;
        }
        if (c == u'/' && next == u'*') {
            state = InComment;
            at += 2;
        } else if (c == u'\'') {
            state = InString;
            ++at;
        } else if ((c == u'x' || c == u'X') && next == u'\'') {
            state = InString; // a BLOB literal
            at += 2;
        } else if (c == u'"' || c == u'`' || c == u'[') {
            state = c == u'"' ? InQuotedName : c == u'`' ? InBackquotedName : InBracketedName;
            ++at;
        } else if (isDigit(c) || (c == u'.' && isDigit(next))) {
            at = numberEnd(text, at);
            if (at < n && isNameChar(text[at])) { // not a number the engine takes
                while (at < n && isNameChar(text[at]))
                    ++at;
            } else {
                setFormat(start, at - start, number_);
            }
        } else if (startsName(c)) {
            while (at < n && isNameChar(text[at]))
                ++at;
            if (keywords_.contains(text.mid(start, at - start).toUpper()))
                setFormat(start, at - start, keyword_);
        } else if (c == u'?' || c == u':' || c == u'@' || c == u'$' || c == u'#') {
            // A parameter: its name is not a keyword.
            for (++at; at < n && isNameChar(text[at]); ++at) {
            }
        } else {
            ++at;
        }
    }
    return formats;
}

} // namespace kest
