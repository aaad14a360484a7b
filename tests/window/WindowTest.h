#pragma once
// The real main window over the real library, a scripted desktop and a temporary program folder.

#include "KestruneBinding.h"
#include "ProgramState.h"
#include "ResultsModel.h"
#include "ScriptedDesktop.h"
#include "Startup.h"
#include "WindowPort.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <functional>
#include <map>
#include <memory>

namespace kest::test {

// While alive, no file of this process may grow beyond `bytes`: a write past it fails as on a
// full disk, even for root. SIGXFSZ is left as the program set it at start-up.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limited = previous_;
        limited.rlim_cur = bytes;
        active = setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &previous_); }
    bool active = false;

private:
    rlimit previous_{};
};

std::map<std::string, std::function<std::unique_ptr<QObject>()>> &testClasses();

struct Window {
    QTemporaryDir folder;
    QTemporaryDir elsewhere; // the working directory, where nothing may be written
    ScriptedDesktop desktop;
    ProgramState state;
    KestruneBinding library{QStringLiteral(KEST_REAL_LIBRARY)};
    std::unique_ptr<MainWindow> w;

    // Opens, shows and waits for the window, with `database` (unless null) as the database name.
    bool start(const QString &database = QStringLiteral("test.db"))
    {
        w = openMainWindow(library, desktop, state).window;
        if (!w || !folder.isValid() || !QDir::setCurrent(elsewhere.path()))
            return false;
        w->setProgramFolder(folder.path());
        if (!database.isNull())
            w->databaseEdit->setText(database);
        w->show();
        w->activateWindow();
        return QTest::qWaitForWindowActive(w.get());
    }
    // Nothing landed in the working directory; a bare name means the program's folder.
    bool wroteNothingElsewhere() const { return QDir(elsewhere.path()).isEmpty(); }
    QString status() const { return w->port().statusText(); }
    // The status line without its time part, or the whole line marked when that part is missing.
    QString untimedStatus() const
    {
        static const QRegularExpression time(QStringLiteral(" - The query took: \\d+\\.\\d{3} second\\(s\\)$"));
        QString line = status();
        return line.contains(time) ? line.remove(time) : QStringLiteral("<no time> ") + line;
    }
    void click(QAbstractButton *button) { QTest::mouseClick(button, Qt::LeftButton); }
    void run(QAbstractButton *button, const QString &sql)
    {
        w->queryEdit->setPlainText(sql);
        click(button);
    }
    QString path(const QString &name) const { return folder.filePath(name); }
    QByteArray file(const QString &name) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
    }
    // The list's rows, cells joined by '|'.
    QStringList rows() const
    {
        QStringList rows;
        for (int r = 0; r < w->results().rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < w->results().columnCount(); ++c)
                cells << w->results().cellText(r, c);
            rows << cells.join(QLatin1Char('|'));
        }
        return rows;
    }
    // The captions of the disabled buttons, in the order the window made them.
    QStringList disabledButtons() const
    {
        QStringList captions;
        for (const QPushButton *button : w->findChildren<QPushButton *>())
            if (!button->isEnabled())
                captions << button->text();
        return captions;
    }
    // Every button but Stop is enabled, and Run Query has its caption back.
    bool idle() const
    {
        return disabledButtons() == QStringList{"&Stop"} && w->button(Button::RunQuery)->text() == QStringLiteral("Run &Query");
    }
};

} // namespace kest::test

#define KEST_TEST_CLASS(Class)                                                                   \
    static const bool registered##Class = (kest::test::testClasses()[#Class] =                   \
                                               [] { return std::make_unique<Class>(); }, true)
