#include "QueryEdit.h"

#include <QMimeData>
#include <QTextCursor>
#include <QTextDocument>

namespace kest {

QString ProgramText(QString editorText)
{
    const QLatin1StringView lineEnd("\r\n");
    editorText.replace(QChar::ParagraphSeparator, lineEnd);
    // Shift+Enter breaks a line inside a paragraph; to the program it is a line end too.
    editorText.replace(QChar::LineSeparator, lineEnd);
    return editorText;
}

QString ProgramText(const QPlainTextEdit &edit)
{
    // Not toPlainText(), which also turns each no-break space into a plain blank.
    return ProgramText(edit.document()->toRawText());
}

QMimeData *QueryEdit::createMimeDataFromSelection() const
{
    auto *data = new QMimeData;
    data->setText(ProgramText(textCursor().selectedText()));
    return data;
}

} // namespace kest
