#include "QtDesktop.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
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

MessageAnswer QtDesktop::message(const QString &prompt, const QString &title,
                                 MessageButtons buttons, MessageIcon icon)
{
    const QMessageBox::StandardButtons standard =
        buttons == MessageButtons::YesNo ? QMessageBox::Yes | QMessageBox::No
                                         : QMessageBox::StandardButtons(QMessageBox::Ok);
    QMessageBox box(toQt(icon),
                    title.isEmpty() ? QGuiApplication::applicationDisplayName() : title, prompt,
                    standard, parent_);
    if (qEnvironmentVariableIsSet("KESTRUNE_DEMO_DIALOG_AUTOCLOSE")) {
        QAbstractButton *answer = box.button(buttons == MessageButtons::YesNo ? QMessageBox::No
                                                                             : QMessageBox::Ok);
        QTimer::singleShot(0, answer, &QAbstractButton::click);
    }
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
    QStringList filters;
    for (const FileType &type : types) {
        QString patterns = type.patterns;
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << type.description + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    QString selected = filters.value(0);
    return QFileDialog::getOpenFileName(parent_, QString(), folder,
                                        filters.join(QStringLiteral(";;")), &selected);
}

void QtDesktop::setClipboardText(const QString &text)
{
    QGuiApplication::clipboard()->setText(text);
}

QString QtDesktop::clipboardText()
{
    return QGuiApplication::clipboard()->text();
}

bool QtDesktop::openUrl(const QString &target, int /*showCode*/)
{
    return QDesktopServices::openUrl(QUrl::fromUserInput(target));
}

} // namespace kest
