#include "ScriptedDesktop.h"

#include <stdexcept>

namespace kest::test {

MessageAnswer ScriptedDesktop::message(const QString &prompt, const QString &title,
                                       MessageButtons buttons, MessageIcon icon)
{
    messages_.append({prompt, title, buttons, icon});
    if (!answers_.isEmpty())
        return answers_.dequeue();
    ++unanswered_;
    return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
}

QString ScriptedDesktop::openFileName(const QString &folder, const QList<FileType> &types)
{
    fileRequests_.append({folder, types});
    if (fileNames_.isEmpty())
        return {};
    const std::optional<QString> answer = fileNames_.dequeue();
    if (!answer)
        throw std::runtime_error("scripted open-file dialog failure");
    return *answer;
}

void ScriptedDesktop::setClipboardText(const QString &text, std::function<void()> whenReplaced)
{
    // The record keeps a copy; the clipboard, like the real one, holds the text as given, whose
    // memory may go when it is replaced, so a text freed while still there is read freed.
    clipboardWrites_.append(QString(text.constData(), text.size()));
    setClipboardContents(text);
    whenClipboardReplaced_ = std::move(whenReplaced);
}

void ScriptedDesktop::setClipboardContents(const QString &text)
{
    clipboard_ = text;
    if (const std::function<void()> replaced = std::exchange(whenClipboardReplaced_, {}))
        replaced();
}

bool ScriptedDesktop::openUrl(const QString &target, int showCode)
{
    urls_.append({target, showCode});
    return shellAccepts_;
}

} // namespace kest::test
