#pragma once
// The query window `Text2`: a QPlainTextEdit whose text leaves it as typed (a no-break space
// stays one) with CR LF between lines, whichever way it leaves: the commands, Ctrl+C, and the
// editor's own copy, cut and drag.
//
// A text too big for the editor to lay out within a moment (a database dump, a long multi-row
// INSERT) is not given to the editor: it is kept once, as the UTF-8 bytes the library takes, and
// the editor shows, read-only, its start and its size. Run Query, Exec, Save Script and Copy take
// the whole text; Delete or Backspace empties the window; any new text replaces it.

#include <QByteArray>
#include <QPlainTextEdit>

#include <functional>

namespace kest {

// The editor's raw text (a selection's or the document's) as the program's text: its paragraph
// and line separators become CR LF, every other character stays.
QString ProgramText(QString editorText);

// The same for UTF-8 text: every line end (CR, LF, CR LF, U+2028, U+2029) becomes CR LF.
QByteArray ProgramTextUtf8(QByteArray utf8);

// The whole text of `edit` as the program's text.
QString ProgramText(const QPlainTextEdit &edit);

// No Q_OBJECT of its own: to tests and styles it is the QPlainTextEdit it was.
class QueryEdit : public QPlainTextEdit {
public:
    // Texts above this many bytes of UTF-8 are kept aside. Below it the editor takes a text of
    // one line in about a fifth of a second, of many lines in far less.
    static constexpr qsizetype BigTextBytes = 256 * 1024;
    // How much of a big text's start is shown.
    static constexpr qsizetype ShownBytes = 4096;

    explicit QueryEdit(QWidget *parent = nullptr);

    // Replaces the whole text, whatever was there.
    void setProgramText(const QString &text);
    void setProgramUtf8(QByteArray utf8);
    // The whole text as the program's text (CR LF line ends).
    QString programText() const;
    QByteArray programUtf8() const;
    // The selection as the program's text; of a big text, a selection takes all of it.
    QString selectedProgramText() const;
    bool holdsBigText() const { return !bigText_.isNull(); }

protected:
    QMimeData *createMimeDataFromSelection() const override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // Shows the text if it is big, made ready on another thread from what `utf8` gives there.
    bool showIfBig(const std::function<QByteArray()> &utf8);
    // `utf8` has CR LF line ends, `lineEnds` of them.
    void showBigText(QByteArray utf8, qsizetype lineEnds);
    void forgetBigText();

    // The whole text while it is too big for the editor; null otherwise.
    QByteArray bigText_;
    // Set while the editor is given the start of a big text, which keeps it.
    bool showing_ = false;
};

} // namespace kest
