#pragma once
// The desktop as the running program sees it: QMessageBox, QFileDialog, the clipboard and
// QDesktopServices.

#include "files/Desktop.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

class QFileDialog;

namespace kest {

// The dialog's name filters for `types`, in order, each "description (patterns)". Patterns are
// separated by blanks, and "*.*" becomes "*": on Linux "*.*" would miss names without a dot.
QStringList OpenDialogNameFilters(const QList<FileType> &types);

// Prepares `dialog` to open a file from `folder` with `types`, the first selected: it shows each
// description alone (a description may already hold its patterns) and takes a typed name of a
// file that does not exist yet.
void PrepareOpenDialog(QFileDialog &dialog, const QString &folder, const QList<FileType> &types);

class QtDesktop final : public Desktop {
public:
    QtDesktop();
    ~QtDesktop() override;
    QtDesktop(const QtDesktop &) = delete;
    QtDesktop &operator=(const QtDesktop &) = delete;

    // The window that message boxes and the dialog are centred on; none is fine.
    void setParentWindow(QWidget *window) { parent_ = window; }

    MessageAnswer message(const QString &prompt, const QString &title, MessageButtons buttons,
                          MessageIcon icon) override;
    QString openFileName(const QString &folder, const QList<FileType> &types) override;
    using Desktop::setClipboardText;
    void setClipboardText(const QString &text, std::function<void()> whenReplaced) override;
    QString clipboardText() override;
    QString askText(const QString &prompt, const QString &title, const QString &initial) override;
    // The show code of the platform's shell has no counterpart: the desktop decides.
    bool openUrl(const QString &target, int showCode) override;

private:
    QPointer<QWidget> parent_;
    QMetaObject::Connection clipboardChanged_;
    std::function<void()> whenClipboardReplaced_;
};

} // namespace kest
