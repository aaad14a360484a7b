#pragma once
// A file dropped on the window: a script (a name ending in .sql, in any case) is loaded as Load
// Script loads the file chosen in its dialog, and refused while Load Script's button is; any
// other file's path goes into the database box. Whatever else is dropped (text dragged into the
// query window or the database box) is left to the control it falls on.

#include <QObject>
#include <QString>

#include <initializer_list>

class QWidget;

namespace kest {

class CommandHost;

class FileDrop : public QObject {
    Q_OBJECT
public:
    // Owned by `window`. Drops on `window` and on `controls`, those of its controls that take
    // drops of their own, are watched; a script waits for `loadScript`, Load Script's button.
    FileDrop(QWidget *window, std::initializer_list<QWidget *> controls, const QWidget &loadScript, CommandHost &host);

    void open(const QString &path);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    const QWidget &loadScript_;
    CommandHost &host_;
};

} // namespace kest
