// frmMain as the command handlers see it.

#include "frmMain.h"

#include "QueryEdit.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace kest {

QPushButton *frmMain::button(Button which) const
{
    QPushButton *const buttons[] = {Command1,  Command2,  Command3,  Command4,  Command5,  Command6,
                                    Command7,  Command8,  Command9,  Command10, Command11, Command12,
                                    Command13, Command14, Command15, Command16, Command17, Command18};
    return buttons[static_cast<int>(which) - 1];
}

QString frmMain::databaseText() const
{
    return Text1->text();
}

void frmMain::setDatabaseText(const QString &text)
{
    Text1->setText(text);
}

QueryEdit *frmMain::queryEdit() const
{
    return static_cast<QueryEdit *>(Text2);
}

QString frmMain::queryText() const
{
    return queryEdit()->programText();
}

void frmMain::setQueryText(const QString &text)
{
    queryEdit()->setProgramText(text);
}

QByteArray frmMain::querySql() const
{
    return queryEdit()->programUtf8();
}

void frmMain::setQuerySql(QByteArray utf8)
{
    queryEdit()->setProgramUtf8(std::move(utf8));
}

bool frmMain::buttonEnabled(Button which) const
{
    return button(which)->isEnabled();
}

void frmMain::setButtonEnabled(Button which, bool enabled)
{
    button(which)->setEnabled(enabled);
}

QString frmMain::buttonCaption(Button which) const
{
    return button(which)->text();
}

void frmMain::setButtonCaption(Button which, const QString &caption)
{
    button(which)->setText(caption);
}

void frmMain::focusButton(Button which)
{
    button(which)->setFocus();
}

int frmMain::unicodeBoxValue() const
{
    switch (chkUnicode->checkState()) {
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return 2;
    case Qt::Unchecked:
        break;
    }
    return 0;
}

QString frmMain::programFolder() const
{
    return programFolder_.isEmpty() ? QCoreApplication::applicationDirPath() : programFolder_;
}

} // namespace kest
