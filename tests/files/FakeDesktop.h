#pragma once
// A scripted desktop: queued answers for the open-file dialog and the shell, and a record
// of every request, so tests check what the commands asked for.

#include "Desktop.h"

#include <QList>
#include <QQueue>
#include <QString>

#include <stdexcept>

class FakeDesktop : public kest::Desktop {
public:
    struct OpenRequest {
        QString folder;
        QList<kest::FileType> types;
    };
    struct ShellRequest {
        QString target;
        int showCode;
    };

    QQueue<QString> fileAnswers; // an empty queue answers as a cancel does
    bool dialogFails = false;    // the dialog throws instead of answering
    bool shellAccepts = true;
    QList<OpenRequest> openRequests;
    QList<ShellRequest> shellRequests;
    QString clipboard;

    kest::MessageAnswer message(const QString &, const QString &, kest::MessageButtons, kest::MessageIcon) override
    {
        return kest::MessageAnswer::Ok;
    }

    QString openFileName(const QString &folder, const QList<kest::FileType> &types) override
    {
        openRequests.append({folder, types});
        if (dialogFails)
            throw std::runtime_error("dialog failed");
        return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
    }

    void setClipboardText(const QString &text) override { clipboard = text; }
    QString clipboardText() override { return clipboard; }

    bool openUrl(const QString &target, int showCode) override
    {
        shellRequests.append({target, showCode});
        return shellAccepts;
    }
};
