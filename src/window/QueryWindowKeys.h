#pragma once
// `Text2_KeyPress`: Ctrl+A and Ctrl+C in the query window. The key press always goes on to the
// editor as well.

#include <QObject>

namespace kest {

class Desktop;
class QueryEdit;

class QueryWindowKeys : public QObject {
    Q_OBJECT
public:
    QueryWindowKeys(QueryEdit *text2, Desktop &desktop);

    // `keyAscii` is the key press's character code: 1 for Ctrl+A, 3 for Ctrl+C.
    void Text2_KeyPress(int keyAscii);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QueryEdit *text2_;
    Desktop &desktop_;
};

} // namespace kest
