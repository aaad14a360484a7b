#include "QueryEdit.h"

#include "CountInRuns.h"
#include "GiveBackMemory.h"
#include "Utf8Text.h"
#include "QueryThread.h"
#include "Scripts.h"

#include <QKeyEvent>
#include <QLocale>
#include <QMimeData>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace kest {

namespace {

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

// The editor's raw text (a selection's or the document's) as typed: its paragraph and line
// separators are the line ends typed (Enter, and Shift+Enter inside a paragraph), LF here.
QString typedText(QString editorText)
{
    editorText.replace(QChar::ParagraphSeparator, u'\n');
    editorText.replace(QChar::LineSeparator, u'\n');
    return editorText;
}

QString typedText(const QPlainTextEdit &edit)
{
    // Not toPlainText(), which also turns each no-break space into a plain blank.
    return typedText(edit.document()->toRawText());
}

// The form the clipboard is given: every line end CR LF.
QString asCrLf(const QString &text)
{
    return Utf8Text(WithCrLf(text.toUtf8()));
}

} // namespace

QueryEdit::QueryEdit(QWidget *parent) : QPlainTextEdit(parent)
{
    // Whatever else changes the editor's text (a test, the editor itself) ends a big text.
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!showing_)
            forgetBigText();
    });
}

void QueryEdit::setWholeText(const QString &text)
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

void QueryEdit::setWholeUtf8(QByteArray utf8)
{
    if (utf8.size() > BigTextBytes)
        showIfBig([&utf8] { return std::move(utf8); });
    else
        setWholeText(Utf8Text(utf8));
}

bool QueryEdit::showIfBig(const std::function<QByteArray()> &utf8)
{
    // A gigabyte's conversion and count take most of a second: the window answers meanwhile,
    // and its thread only takes the finished text.
    QByteArray big;
    qsizetype lineEnds = 0;
    MakeReadyOnQueryThread(
        [&] {
            QByteArray text = utf8();
            if (text.size() <= BigTextBytes)
                return;
            const LineEndBytes bytes = countLineEndBytes(text.constData(), text.size());
            lineEnds = bytes.lf + bytes.cr - bytes.crLf;
            big = std::move(text);
        });
    if (big.isNull())
        return false;
    showBigText(std::move(big), lineEnds);
    return true;
}

QByteArray QueryEdit::typedUtf8() const
{
    return holdsBigText() ? bigText_ : typedText(*this).toUtf8();
}

QString QueryEdit::crLfText() const
{
    return holdsBigText() ? Utf8Text(WithCrLf(bigText_)) : asCrLf(typedText(*this));
}

QString QueryEdit::selectedCrLfText() const
{
    if (holdsBigText())
        return textCursor().hasSelection() ? crLfText() : QString();
    return asCrLf(typedText(textCursor().selectedText()));
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
        setWholeText(QString());
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
    const qsizetype lines = lineEnds + (utf8.endsWith('\n') || utf8.endsWith('\r') ? 0 : 1);
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
