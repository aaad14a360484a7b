#pragma once
// The query window `Text2`: a QPlainTextEdit whose text leaves it as typed (a no-break space
// stays one) with CR LF between lines, whichever way it leaves: the commands, Ctrl+C, and the
// editor's own copy, cut and drag.

#include <QPlainTextEdit>

namespace kest {

// The editor's raw text (a selection's or the document's) as the program's text: its paragraph
// and line separators become CR LF, every other character stays.
QString ProgramText(QString editorText);

// The whole text of `edit` as the program's text.
QString ProgramText(const QPlainTextEdit &edit);

// No Q_OBJECT of its own: to tests and styles it is the QPlainTextEdit it was.
class QueryEdit : public QPlainTextEdit {
public:
    using QPlainTextEdit::QPlainTextEdit;

protected:
    QMimeData *createMimeDataFromSelection() const override;
};

} // namespace kest
