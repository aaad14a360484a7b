#pragma once
// A file dropped on the window: a script (a name ending in .sql, in any case) is loaded as Load
// Script loads the file chosen in its dialog, and refused while Load Script's button is; any
// other file's path goes into the database box. A drop that cannot be taken so is answered with
// a message: several files at once, a file on another computer, a name that is not UTF-8 (which
// the program cannot open by its name), a script that is not there. Whatever else is dropped
// (text dragged into the query window or the database box) is left to the control it falls on.

#include <QLatin1StringView>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <initializer_list>

class QWidget;

namespace kest {

class CommandHost;

inline constexpr QLatin1StringView ManyFilesPrompt{"Drop one file at a time: none of these was used."};
inline constexpr QLatin1StringView NotUsedPrompt{"Cannot use "};
inline constexpr QLatin1StringView OtherComputerReason{"It is on another computer."};
inline constexpr QLatin1StringView NameNotUtf8Reason{"Its name is not valid UTF-8, so it cannot be opened by its name."};
inline constexpr QLatin1StringView MissingReason{"It does not exist."};

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
    void take(const QList<QUrl> &files);
    void refuse(const QString &prompt);

    const QWidget &loadScript_;
    CommandHost &host_;
};

} // namespace kest
