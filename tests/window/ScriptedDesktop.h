#pragma once
// A Desktop for tests: answers come from queues the test fills, and every request is recorded
// (prompt, title, buttons, icon; dialog folder and types; clipboard texts; addresses).

#include "files/Desktop.h"

#include <QList>
#include <QQueue>
#include <QString>

#include <optional>

namespace kest::test {

class ScriptedDesktop final : public Desktop {
public:
    struct Message {
        QString prompt;
        QString title;
        MessageButtons buttons;
        MessageIcon icon;
    };
    struct FileRequest {
        QString folder;
        QList<FileType> types;
    };
    struct UrlRequest {
        QString target;
        int showCode;
    };

    void queueAnswer(MessageAnswer answer) { answers_.enqueue(answer); }
    void queueFileName(const QString &fileName) { fileNames_.enqueue(fileName); }
    // The next open-file dialog throws instead of answering, as a broken dialog would.
    void queueFileDialogFailure() { fileNames_.enqueue(std::nullopt); }
    // What the next question for a line of text is answered with; unqueued, it is cancelled.
    void queueText(const QString &text) { texts_.enqueue(text); }
    // What the clipboard holds before the program writes to it, or after another program did.
    void setClipboardContents(const QString &text);
    void setShellAccepts(bool accepts) { shellAccepts_ = accepts; }

    const QList<Message> &messages() const { return messages_; }
    const QList<FileRequest> &fileRequests() const { return fileRequests_; }
    // Every text the program put on the clipboard, in order.
    const QStringList &clipboardWrites() const { return clipboardWrites_; }
    const QList<UrlRequest> &urls() const { return urls_; }
    // Messages that found no queued answer (they got Ok, or No for a question).
    int unansweredMessages() const { return unanswered_; }

    MessageAnswer message(const QString &prompt, const QString &title, MessageButtons buttons,
                          MessageIcon icon) override;
    // Empty text, as on cancel, when no file name is queued; throws std::runtime_error for a
    // queued failure.
    QString openFileName(const QString &folder, const QList<FileType> &types) override;
    using Desktop::setClipboardText;
    void setClipboardText(const QString &text, std::function<void()> whenReplaced) override;
    QString clipboardText() override { return clipboard_; }
    QString askText(const QString &, const QString &, const QString &) override
    {
        return texts_.isEmpty() ? QString() : texts_.dequeue();
    }
    bool openUrl(const QString &target, int showCode) override;

private:
    QQueue<MessageAnswer> answers_;
    QQueue<std::optional<QString>> fileNames_;
    QQueue<QString> texts_;
    QList<Message> messages_;
    QList<FileRequest> fileRequests_;
    QStringList clipboardWrites_;
    QList<UrlRequest> urls_;
    QString clipboard_;
    std::function<void()> whenClipboardReplaced_;
    bool shellAccepts_ = true;
    int unanswered_ = 0;
};

} // namespace kest::test
