#include "QueryWindowKeys.h"

#include "QueryEdit.h"
#include "files/Desktop.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextCursor>

namespace kest {

namespace {

constexpr int CtrlA = 1;
constexpr int CtrlC = 3;

// The control character a key press types: platforms give it as the event's text, or leave the
// text empty and only report the key with the Control modifier.
int characterCode(const QKeyEvent &event)
{
    const QString text = event.text();
    if (text.size() == 1 && text.at(0).unicode() < 0x20)
        return text.at(0).unicode();
    const Qt::KeyboardModifiers others = Qt::AltModifier | Qt::MetaModifier;
    if ((event.modifiers() & Qt::ControlModifier) && !(event.modifiers() & others) &&
        event.key() >= Qt::Key_A && event.key() <= Qt::Key_Z)
        return event.key() - Qt::Key_A + 1;
    return text.isEmpty() ? 0 : text.at(0).unicode();
}

} // namespace

QueryWindowKeys::QueryWindowKeys(QueryEdit *queryEdit, Desktop &desktop)
    : QObject(queryEdit), queryEdit_(queryEdit), desktop_(desktop)
{
    queryEdit_->installEventFilter(this);
}

bool QueryWindowKeys::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == queryEdit_ && event->type() == QEvent::KeyPress)
        onQueryKeyPress(characterCode(*static_cast<QKeyEvent *>(event)));
    return false;
}

void QueryWindowKeys::onQueryKeyPress(int keyAscii)
{
    if (keyAscii == CtrlA) {
        QTextCursor cursor(queryEdit_->document());
        cursor.select(QTextCursor::Document);
        queryEdit_->setTextCursor(cursor);
    } else if (keyAscii == CtrlC) {
        // The key press goes on to the editor, which copies a non-empty selection once more,
        // as the same text (QueryEdit).
        desktop_.setClipboardText(queryEdit_->selectedCrLfText());
    }
}

} // namespace kest
