#pragma once
// The query window: a QPlainTextEdit whose text leaves it as typed (a no-break space stays
// one). The engine gets its line ends as typed, LF; the clipboard gets them as CR LF, whichever
// way the text goes there: Copy, Ctrl+C, and the editor's own copy, cut and drag.
//
// A text too big for the editor to lay out within a moment (a database dump, a long multi-row
// INSERT) is not given to the editor: it is kept once, as the UTF-8 bytes the library takes, and
// the editor shows, read-only, its start and its size; its line ends stay as they came. Run
// Query, Exec, Save Script and Copy take the whole text; Delete or Backspace empties the
// window; any new text replaces it.

#include <QByteArray>
#include <QPlainTextEdit>

#include <functional>

namespace kest {

// No Q_OBJECT of its own: to tests and styles it is the QPlainTextEdit it was.
class QueryEdit : public QPlainTextEdit {
public:
    // Texts above this many bytes of UTF-8 are kept aside. Below it the editor takes a text of
    // one line in about a fifth of a second, of many lines in far less.
    static constexpr qsizetype BigTextBytes = 256 * 1024;
    // How much of a big text's start is shown.
    static constexpr qsizetype ShownBytes = 4096;

    explicit QueryEdit(QWidget *parent = nullptr);

    // Replaces the whole text, whatever was there; its line ends may be any.
    void setWholeText(const QString &text);
    void setWholeUtf8(QByteArray utf8);
    // The whole text as typed, for the engine: a big text as it is kept, not copied.
    QByteArray typedUtf8() const;
    // The whole text with CR LF line ends.
    QString crLfText() const;
    // The selection with CR LF line ends; of a big text, a selection takes all of it.
    QString selectedCrLfText() const;
    bool holdsBigText() const { return !bigText_.isNull(); }

protected:
    QMimeData *createMimeDataFromSelection() const override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // Shows the text if it is big, made ready on another thread from what `utf8` gives there.
    bool showIfBig(const std::function<QByteArray()> &utf8);
    // `utf8` has `lineEnds` line ends (CR, LF or CR LF).
    void showBigText(QByteArray utf8, qsizetype lineEnds);
    void forgetBigText();

    // The whole text while it is too big for the editor; null otherwise.
    QByteArray bigText_;
    // Set while the editor is given the start of a big text, which keeps it.
    bool showing_ = false;
};

} // namespace kest
