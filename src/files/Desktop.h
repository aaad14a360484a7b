#pragma once
// The program's one door to the desktop: message boxes, the open-file dialog,
// the clipboard and the shell. Production code uses the Qt implementation;
// tests plug in a scripted one that queues answers and records every request,
// so no test ever waits for a person.

#include <QString>
#include <QStringList>

#include <functional>

namespace kest {

enum class MessageButtons { Ok, YesNo };
enum class MessageIcon { None, Critical, Question, Information };
enum class MessageAnswer { Ok, Yes, No };

// One file type of the open-file dialog: a description and its patterns ("*.db;*.db3").
struct FileType {
    QString description;
    QString patterns;
    bool operator==(const FileType &) const = default;
};

class Desktop {
public:
    virtual ~Desktop() = default;

    // An empty title means the application's own title.
    virtual MessageAnswer message(const QString &prompt, const QString &title,
                                  MessageButtons buttons, MessageIcon icon) = 0;

    // Shows the open-file dialog on `folder` with `types`, the first one selected.
    // Returns the chosen file's full path, or empty text on cancel or any failure.
    virtual QString openFileName(const QString &folder, const QList<FileType> &types) = 0;

    // Puts `text` on the clipboard. `whenReplaced` (may be empty) runs once, when anything
    // replaces the text there, this program or another; the text's memory is given up then, so
    // the desktop keeps no reference to `text` after that (clipboardText() gives a copy).
    virtual void setClipboardText(const QString &text, std::function<void()> whenReplaced) = 0;
    void setClipboardText(const QString &text) { setClipboardText(text, {}); }
    // Empty text when the clipboard holds no text.
    virtual QString clipboardText() = 0;

    // Asks for one line of text, `initial` filled in; null text when the user cancels. A desktop
    // that cannot ask answers as a cancel.
    virtual QString askText(const QString & /*prompt*/, const QString & /*title*/, const QString & /*initial*/)
    {
        return {};
    }

    // Hands a document or address to the shell; returns whether the shell accepted it.
    virtual bool openUrl(const QString &target, int showCode) = 0;
};

} // namespace kest
