// MainWindow as the command handlers see it.

#include "MainWindow.h"

#include "QueryEdit.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace kest {

QString MainWindow::databaseText() const
{
    return databaseEdit->text();
}

void MainWindow::setDatabaseText(const QString &text)
{
    databaseEdit->setText(text);
}

QString MainWindow::queryText() const
{
    return queryEdit->crLfText();
}

void MainWindow::setQueryText(const QString &text)
{
    queryEdit->setWholeText(text);
}

QByteArray MainWindow::querySql() const
{
    return queryEdit->typedUtf8();
}

void MainWindow::setQuerySql(QByteArray utf8)
{
    queryEdit->setWholeUtf8(std::move(utf8));
}

void MainWindow::setButtonEnabled(Button which, bool enabled)
{
    button(which)->setEnabled(enabled);
}

QString MainWindow::buttonCaption(Button which) const
{
    return button(which)->text();
}

void MainWindow::setButtonCaption(Button which, const QString &caption)
{
    button(which)->setText(caption);
}

void MainWindow::focusButton(Button which)
{
    button(which)->setFocus();
}

int MainWindow::unicodeBoxValue() const
{
    switch (unicodeBox->checkState()) {
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return 2;
    case Qt::Unchecked:
        break;
    }
    return 0;
}

QString MainWindow::programFolder() const
{
    return programFolder_.isEmpty() ? QCoreApplication::applicationDirPath() : programFolder_;
}

} // namespace kest
