#pragma once
// `onQueryKeyPress`: Ctrl+A and Ctrl+C in the query window. The key press always goes on to the
// editor as well.

#include <QObject>

namespace kest {

class Desktop;
class QueryEdit;

class QueryWindowKeys : public QObject {
    Q_OBJECT
public:
    QueryWindowKeys(QueryEdit *queryEdit, Desktop &desktop);

    // `keyAscii` is the key press's character code: 1 for Ctrl+A, 3 for Ctrl+C.
    void onQueryKeyPress(int keyAscii);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QueryEdit *queryEdit_;
    Desktop &desktop_;
};

} // namespace kest
