// Exit and closing the window end the program at once, whatever runs.

#include "TestRegistry.h"
#include "WindowFixture.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace kest;
using namespace kest::test;

class ExitTests : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void exitEndsTheProgram();
    void closingTheWindowEndsTheProgram();
    void exitDuringARunningQueryEndsItAtOnce();

private:
    // Runs the application's event loop as the program does; a watchdog ends a hang with 99.
    int runProgram();
    std::unique_ptr<WindowFixture> f;
};

void ExitTests::init()
{
    f = std::make_unique<WindowFixture>();
    QVERIFY(f->startAndShow());
}

void ExitTests::cleanup() { f.reset(); }

int ExitTests::runProgram()
{
    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    watchdog.start(10000);
    return QCoreApplication::exec();
}

void ExitTests::exitEndsTheProgram()
{
    QTimer::singleShot(0, f->window.get(),
                       [this] { QTest::mouseClick(f->window->Command2, Qt::LeftButton); });
    QCOMPARE(runProgram(), 0);
    QVERIFY(!f->window->isVisible());
    QVERIFY(f->state.ExitRequested);
    QVERIFY(f->desktop.messages().isEmpty()); // no question asked
}

void ExitTests::closingTheWindowEndsTheProgram()
{
    QTimer::singleShot(0, f->window.get(), [this] { f->window->close(); });
    QCOMPARE(runProgram(), 0);
    QVERIFY(!f->window->isVisible());
    QVERIFY(f->state.ExitRequested);
    QVERIFY(f->desktop.messages().isEmpty());
}

void ExitTests::exitDuringARunningQueryEndsItAtOnce()
{
    // A query inside the library lets window messages run from its callback until it is told to
    // stop, as the engine's callbacks do.
    bool queryEnded = false;
    qint64 queryMilliseconds = -1;
    QTimer::singleShot(0, f->window.get(), [&] {
        f->window->Command14->setEnabled(true);
        QElapsedTimer clock;
        clock.start();
        while (f->state.StopRequested == False16 && clock.elapsed() < 8000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        queryMilliseconds = clock.elapsed();
        queryEnded = true;
    });
    QTimer::singleShot(100, f->window.get(),
                       [this] { QTest::mouseClick(f->window->Command2, Qt::LeftButton); });
    QCOMPARE(runProgram(), 0);
    QVERIFY(queryEnded);
    QVERIFY2(queryMilliseconds < 1000, qPrintable(QString::number(queryMilliseconds)));
    QCOMPARE(f->state.StopRequested, True16);
    QVERIFY(!f->window->isVisible());
}

KEST_REGISTER_TEST(ExitTests);
#include "tst_Exit.moc"
