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
struct ProgramState;

// The window's buttons.
enum class Button {
    RunQuery, Exec, Stop, DbInfo, Explain, Clear, Copy, Paste, Populate, Query1, Query2, Drop,
    Browse, LoadScript, SaveScript, Website, Sqlite, Exit
};
inline constexpr int ButtonCount = static_cast<int>(Button::Exit) + 1;

class CommandHost {
public:
    virtual ~CommandHost() = default;

    // `databaseEdit`, the database-file box.
    virtual QString databaseText() const = 0;
    virtual void setDatabaseText(const QString &text) = 0;
    // `queryEdit`, the query window, whole, with CR LF line ends, as the clipboard takes it.
    virtual QString queryText() const = 0;
    virtual void setQueryText(const QString &text) = 0;
    // The same as typed (LF line ends), as UTF-8, the bytes the library takes: a big text is
    // handed over as it is kept, neither copied nor converted.
    virtual QByteArray querySql() const = 0;
    virtual void setQuerySql(QByteArray utf8) = 0;

    virtual void setButtonEnabled(Button button, bool enabled) = 0;
    virtual QString buttonCaption(Button button) const = 0;
    virtual void setButtonCaption(Button button, const QString &caption) = 0;
    virtual void focusButton(Button button) = 0;
    virtual void closeWindow() = 0;

    // `unicodeBox`: 0 clear, 1 ticked, 2 greyed.
    virtual int unicodeBoxValue() const = 0;

    // The folder that holds the program's executable file.
    virtual QString programFolder() const = 0;
    // Numbers shown to the user follow it.
    virtual QLocale numberLocale() const = 0;

    virtual WindowPort &port() = 0;
    virtual Desktop &desktop() = 0;
    virtual KestruneBinding &library() = 0;
    virtual ProgramState &state() = 0;
};

} // namespace kest
