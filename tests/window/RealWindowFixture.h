#pragma once
// The real main window over the real library, a scripted desktop and a temporary program folder.

#include "KestruneBinding.h"
#include "ModuleState.h"
#include "ResultsModel.h"
#include "ScriptedDesktop.h"
#include "Startup.h"
#include "WindowPort.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace kest::test {

// Compares a status line with `beforeTime` followed by the time part, taking any number with
// three decimals as the time.
inline void compareStatus(const QString &actual, const QString &beforeTime)
{
    static const QRegularExpression time(QStringLiteral("^(.*) - The query took: \\d+\\.\\d{3} second\\(s\\)$"));
    const QRegularExpressionMatch m = time.match(actual);
    QVERIFY2(m.hasMatch(), qPrintable(actual));
    QCOMPARE(m.captured(1), beforeTime);
}

struct RealWindowFixture {
    QTemporaryDir programFolder;
    ScriptedDesktop desktop;
    ModuleState state;
    KestruneBinding library{QStringLiteral(KEST_REAL_LIBRARY)};
    std::unique_ptr<frmMain> window;

    bool start()
    {
        window = openMainWindow(library, desktop, state).window;
        if (!window || !programFolder.isValid())
            return false;
        window->setProgramFolder(programFolder.path());
        window->show();
        return QTest::qWaitForWindowExposed(window.get());
    }

    QString status() { return window->port().statusText(); }
    void type(const QString &sql) { window->Text2->setPlainText(sql); }
    void click(QPushButton *button) { QTest::mouseClick(button, Qt::LeftButton); }
    QString inFolder(const QString &name) const { return programFolder.filePath(name); }
};

} // namespace kest::test
