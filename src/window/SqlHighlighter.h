#pragma once
// Colours the SQL in the query window: the engine's own keywords (as the library lists them,
// not a list of ours), strings and BLOB literals, numbers and comments. Quoted names ("…", `…`,
// […]) and parameters are passed over as the engine reads them. A text that the window keeps
// aside (past 256 KiB), a document grown as long in the editor, and a line too long to lay out
// twice in a moment, stay uncoloured.
//
// The colours are the lines' layout formats, as QSyntaxHighlighter sets them, but a line is laid
// out again only when its colours change, and lines below the view are coloured shortly after
// the typing pauses, a slice at a time: a quote typed at the top of a long script changes how
// every line after it reads, and colouring them at once, each laid out again, took twice the
// time a key took before there were colours.

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTextCharFormat>
#include <QTextLayout>
#include <QTimer>

class QTextBlock;

namespace kest {

class KestruneBinding;
class QueryEdit;

// The engine's keywords, in upper case.
QSet<QString> EngineKeywords(KestruneBinding &library);

class SqlHighlighter : public QObject {
public:
    // Owned by `edit`, whose document it colours.
    SqlHighlighter(QueryEdit *edit, QSet<QString> keywords);

    // Lines longer than this stay uncoloured.
    static constexpr int LongestColouredLine = 10000;
    // How long after a change the lines below the view wait, and the most a slice of them takes.
    static constexpr int LaterDelay = 150;
    static constexpr int SliceMilliseconds = 8;

private:
    void documentChanged(int from, int removed, int added);
    void colourLater();
    // Colours `block` from the state the line before it ends in; returns whether the state at
    // its own end changed.
    bool colour(QTextBlock block);
    // The colours of a line that starts in `state`, which becomes the state at its end.
    QList<QTextLayout::FormatRange> formatsOf(const QString &text, int &state) const;

    QueryEdit *edit_;
    QSet<QString> keywords_;
    QTextCharFormat keyword_, string_, number_, comment_;
    // Set while colours are applied, which the document announces as a change.
    bool applying_ = false;
    // The first line left for later, -1 when none is.
    int laterFrom_ = -1;
    QTimer later_;
};

} // namespace kest
