#pragma once
// What the command handlers see of the main window: the two text boxes, the buttons, the
// Unicode box, and the window's collaborators. The window implements it; the handlers stay free
// of widgets, so each is a small function over this interface.

#include <QByteArray>
#include <QLocale>
#include <QString>

namespace kest {

class Desktop;
class KestruneBinding;
class WindowPort;
struct ModuleState;

// The window's buttons, under their designer names.
enum class Button {
    Command1 = 1, Command2, Command3, Command4, Command5, Command6, Command7, Command8, Command9,
    Command10, Command11, Command12, Command13, Command14, Command15, Command16, Command17, Command18
};

class CommandHost {
public:
    virtual ~CommandHost() = default;

    // `Text1`, the database-file box.
    virtual QString databaseText() const = 0;
    virtual void setDatabaseText(const QString &text) = 0;
    // `Text2`, the query window, whole, with CR LF line ends.
    virtual QString queryText() const = 0;
    virtual void setQueryText(const QString &text) = 0;
    // The same as UTF-8, the bytes the library takes: a big text is handed over as it is kept,
    // neither copied nor converted.
    virtual QByteArray querySql() const = 0;
    virtual void setQuerySql(QByteArray utf8) = 0;

    virtual bool buttonEnabled(Button button) const = 0;
    virtual void setButtonEnabled(Button button, bool enabled) = 0;
    virtual QString buttonCaption(Button button) const = 0;
    virtual void setButtonCaption(Button button, const QString &caption) = 0;
    virtual void focusButton(Button button) = 0;

    // `chkUnicode`: 0 clear, 1 ticked, 2 greyed.
    virtual int unicodeBoxValue() const = 0;

    // The folder that holds the program's executable file.
    virtual QString programFolder() const = 0;
    // Numbers shown to the user follow it.
    virtual QLocale numberLocale() const = 0;

    virtual WindowPort &port() = 0;
    virtual Desktop &desktop() = 0;
    virtual KestruneBinding &library() = 0;
    virtual ModuleState &state() = 0;
};

} // namespace kest
