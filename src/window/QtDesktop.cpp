#include "QtDesktop.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QUrl>

namespace kest {

namespace {

QMessageBox::Icon toQt(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

QStringList OpenDialogNameFilters(const QList<FileType> &types)
{
    QStringList filters;
    for (const FileType &type : types) {
        QStringList patterns;
        for (const QString &pattern : type.patterns.split(u';', Qt::SkipEmptyParts)) {
            const QString trimmed = pattern.trimmed();
            if (!trimmed.isEmpty())
                patterns << (trimmed == QLatin1String("*.*") ? QStringLiteral("*") : trimmed);
        }
        filters << type.description + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    return filters;
}

void PrepareOpenDialog(QFileDialog &dialog, const QString &folder, const QList<FileType> &types)
{
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDirectory(folder);
    // The patterns in parentheses are what the dialog matches; the user sees the description.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    const QStringList filters = OpenDialogNameFilters(types);
    dialog.setNameFilters(filters);
    if (!filters.isEmpty())
        dialog.selectNameFilter(filters.first());
}

MessageAnswer QtDesktop::message(const QString &prompt, const QString &title,
                                 MessageButtons buttons, MessageIcon icon)
{
    const QMessageBox::StandardButtons standard =
        buttons == MessageButtons::YesNo ? QMessageBox::Yes | QMessageBox::No
                                         : QMessageBox::StandardButtons(QMessageBox::Ok);
    // The program's texts break lines with CR LF; the box breaks its lines at LF alone.
    QString shown = prompt;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QMessageBox box(toQt(icon),
                    title.isEmpty() ? QGuiApplication::applicationDisplayName() : title, shown,
                    standard, parent_);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return MessageAnswer::Yes;
    case QMessageBox::No:
        return MessageAnswer::No;
    default:
        // Closing an Ok box any other way is still Ok; a Yes/No box cannot be closed otherwise.
        return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    }
}

QString QtDesktop::openFileName(const QString &folder, const QList<FileType> &types)
{
    QFileDialog dialog(parent_);
    PrepareOpenDialog(dialog, folder, types);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

QtDesktop::QtDesktop()
{
    // Another program's change is told when it takes the clipboard, which also frees the text
    // this program held there. The signal also comes while this program still owns the text (an
    // owner that left closing, such as xclip), when the text must stay: only a lost ownership counts.
    clipboardChanged_ = QObject::connect(QGuiApplication::clipboard(), &QClipboard::changed, [this](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard && !QGuiApplication::clipboard()->ownsClipboard())
            if (const std::function<void()> replaced = std::exchange(whenClipboardReplaced_, {}))
                replaced();
    });
}

QtDesktop::~QtDesktop()
{
    QObject::disconnect(clipboardChanged_);
}

void QtDesktop::setClipboardText(const QString &text, std::function<void()> whenReplaced)
{
    // The program's own change: the text it replaces is let go once the clipboard holds the new one.
    const std::function<void()> replaced = std::exchange(whenClipboardReplaced_, {});
    QGuiApplication::clipboard()->setText(text);
    if (replaced)
        replaced();
    whenClipboardReplaced_ = std::move(whenReplaced);
}

QString QtDesktop::clipboardText()
{
    const QString text = QGuiApplication::clipboard()->text();
    // A text this program put there may share memory that goes when the clipboard lets it go.
    return whenClipboardReplaced_ ? QString(text.constData(), text.size()) : text;
}

QString QtDesktop::askText(const QString &prompt, const QString &title, const QString &initial)
{
    bool ok = false;
    const QString text = QInputDialog::getText(parent_, title, prompt, QLineEdit::Normal, initial, &ok);
    return ok ? text : QString();
}

bool QtDesktop::openUrl(const QString &target, int /*showCode*/)
{
    return QDesktopServices::openUrl(QUrl::fromUserInput(target));
}

} // namespace kest
