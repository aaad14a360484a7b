#include "QueryEdit.h"

#include "GiveBackMemory.h"

#include <QKeyEvent>
#include <QLocale>
#include <QMimeData>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

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

bool isCrLfAt(const char *text, qsizetype size, qsizetype i)
{
    return text[i] == '\r' && i + 1 < size && text[i + 1] == '\n';
}

} // namespace

QString ProgramText(QString editorText)
{
    const QLatin1StringView lineEnd("\r\n");
    editorText.replace(QChar::ParagraphSeparator, lineEnd);
    // Shift+Enter breaks a line inside a paragraph; to the program it is a line end too.
    editorText.replace(QChar::LineSeparator, lineEnd);
    return editorText;
}

QByteArray ProgramTextUtf8(QByteArray utf8)
{
    const char *text = utf8.constData();
    const qsizetype size = utf8.size();
    const auto nextLineEnd = [&](qsizetype from, qsizetype &length) {
        for (qsizetype i = from; i < size; ++i) {
            const char c = text[i];
            if ((c == '\r' || c == '\n' || c == '\xE2') && (length = lineEndAt(text, size, i)) != 0)
                return i;
        }
        length = 0;
        return size;
    };
    // A loaded script already ends every line with CR LF: it stays as it is, not copied.
    qsizetype first = 0, length = 0;
    while ((first = nextLineEnd(first, length)) < size && isCrLfAt(text, size, first))
        first += 2;
    if (first == size)
        return utf8;
    QByteArray result;
    result.reserve(size + std::count(text + first, text + size, '\n') + std::count(text + first, text + size, '\r') + 2);
    result.append(text, first);
    for (qsizetype at = first; at < size;) {
        const qsizetype end = nextLineEnd(at, length);
        result.append(text + at, end - at);
        if (end < size)
            result.append("\r\n", 2);
        at = end + length;
    }
    return result;
}

QString ProgramText(const QPlainTextEdit &edit)
{
    // Not toPlainText(), which also turns each no-break space into a plain blank.
    return ProgramText(edit.document()->toRawText());
}

QueryEdit::QueryEdit(QWidget *parent) : QPlainTextEdit(parent)
{
    // Whatever else changes the editor's text (a test, the editor itself) ends a big text.
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!showing_)
            forgetBigText();
    });
}

void QueryEdit::setProgramText(const QString &text)
{
    // A text of more than a third of the limit in characters may be past it in bytes.
    if (text.size() > BigTextBytes / 3) {
        QByteArray utf8 = text.toUtf8();
        if (utf8.size() > BigTextBytes) {
            showBigText(ProgramTextUtf8(std::move(utf8)));
            return;
        }
    }
    forgetBigText();
    // Emptied first: the editor lays out a new text in place of a long line in time that grows
    // with the square of the line's length (a minute for a megabyte), an empty one at once.
    clear();
    setPlainText(text);
}

void QueryEdit::setProgramUtf8(QByteArray utf8)
{
    if (utf8.size() > BigTextBytes)
        showBigText(ProgramTextUtf8(std::move(utf8)));
    else
        setProgramText(QString::fromUtf8(utf8));
}

QString QueryEdit::programText() const
{
    return holdsBigText() ? QString::fromUtf8(bigText_) : ProgramText(*this);
}

QByteArray QueryEdit::programUtf8() const
{
    return holdsBigText() ? bigText_ : ProgramText(*this).toUtf8();
}

QString QueryEdit::selectedProgramText() const
{
    if (holdsBigText())
        return textCursor().hasSelection() ? programText() : QString();
    return ProgramText(textCursor().selectedText());
}

QMimeData *QueryEdit::createMimeDataFromSelection() const
{
    auto *data = new QMimeData;
    data->setText(selectedProgramText());
    return data;
}

void QueryEdit::keyPressEvent(QKeyEvent *event)
{
    if (holdsBigText() && (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace)) {
        setProgramText(QString());
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void QueryEdit::showBigText(QByteArray utf8)
{
    qsizetype shown = std::min(utf8.size(), ShownBytes);
    // Cut before a whole character.
    while (shown < utf8.size() && shown > 0 && (static_cast<unsigned char>(utf8.at(shown)) & 0xC0) == 0x80)
        --shown;
    const qsizetype lines = utf8.count('\n') + (utf8.endsWith('\n') ? 0 : 1);
    const QString note = QStringLiteral("\n\u2026\n[Shown in part: %1 bytes in %2 lines. Run Query, Exec, Save Script "
                                        "and Copy take the whole text; Delete empties the query window.]")
                             .arg(locale().toString(utf8.size()), locale().toString(lines));
    showing_ = true;
    bigText_ = std::move(utf8);
    clear();
    setPlainText(QString::fromUtf8(bigText_.constData(), shown) + note);
    setReadOnly(true);
    showing_ = false;
    GiveBackFreedMemory(); // the text's way in: the clipboard's copy, the file's bytes
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
