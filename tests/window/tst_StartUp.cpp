// Start-up: the state the window opens in, the version banner, and a library that is missing.

#include "TestRegistry.h"
#include "WindowFixture.h"

#include "MainWindowPort.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

using namespace kest;
using namespace kest::test;

class StartUpTests : public QObject {
    Q_OBJECT
private slots:
    void windowOpensReadyToRun();
    void displayOptionIsSwitchedOnByStartUp();
    void libraryStartsInEightBitMode();
    void banner_data();
    void banner();
    void bannerUsesTheUsersDecimalSeparator();
    void bannerCallsTheLibraryInOrder();
    void bannerOfTheRealLibrary();
    void missingLibraryIsReportedWithTheLoadersDescription();
    void missingFunctionIsReportedAndEndsTheBanner();
    void programWithoutLibraryShowsTheMessageAndFails();
    void programFindsTheLibraryInItsOwnFolder();
};

void StartUpTests::windowOpensReadyToRun()
{
    WindowFixture f;
    QVERIFY(f.startAndShow());
    frmMain &w = *f.window;
    QCOMPARE(w.Text1->text(), QStringLiteral("Albums.db"));
    const QStringList lines = w.Text2->toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines[0].startsWith(QLatin1String("-- ")));
    QVERIFY(lines[1].startsWith(QLatin1String("-- ")));
    QVERIFY(lines[0].contains(QLatin1String("Kestrune Tolvane Demo"))); // names the program
    QVERIFY(lines[1].contains(QLatin1String("README")));                // where to read more
    QCOMPARE(lines[2], QStringLiteral("Select * from <insert-table-name-here>"));
    QVERIFY(!w.Command14->isEnabled());
    for (QPushButton *button : w.findChildren<QPushButton *>())
        if (button != w.Command14)
            QVERIFY2(button->isEnabled(), qPrintable(button->objectName()));
    QVERIFY(!w.chkUnicode->isChecked());
    QCOMPARE(w.results().rowCount(), 0);
    QCOMPARE(w.results().columnCount(), 0);
    QCOMPARE(QApplication::focusWidget(), w.Command1);
    QVERIFY(f.desktop.messages().isEmpty());
}

void StartUpTests::displayOptionIsSwitchedOnByStartUp()
{
    WindowFixture f;
    f.standin.configure(104, 1500, "", "3.40.1", 3040001);
    frmMain window(f.library, f.desktop, f.state);
    QVERIFY(!window.lvResults->showGrid());
    window.Form_Load();
    QVERIFY(window.lvResults->showGrid());
}

void StartUpTests::libraryStartsInEightBitMode()
{
    WindowFixture f;
    f.state.UseUnicode = True16; // as if left over
    QVERIFY(f.start());
    QCOMPARE(f.state.UseUnicode, False16);
    QVERIFY(f.standin.calls().endsWith(QLatin1String("SetUnicodeConversion(0);")));
    QVERIFY(!f.window->chkUnicode->isChecked());
}

void StartUpTests::banner_data()
{
    QTest::addColumn<int>("libVersion");
    QTest::addColumn<int>("msvcVersion");
    QTest::addColumn<QByteArray>("timeStamp");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("status");

    const QString title =
        QStringLiteral("Kestrune Tolvane Demo v1.04 - SQLite Version 3.40.1 (3040001)");
    QTest::newRow("104 and 1500")
        << 104 << 1500 << QByteArray("Jan 02 2025 03:04:05") << title
        << "   Kestrune.dll - Version: 1.04 - MSVC++ v15.00: VC9.0/Visual Studio 2008 - [DLL "
           "Timestamp: Jan 02 2025 03:04:05]";
    QTest::newRow("5 and 1100") << 5 << 1100 << QByteArray("t") << title
                                << "   Kestrune.dll - Version: 0.05 - MSVC++ v11.00: VC5.0/Visual "
                                   "Studio 97 - [DLL Timestamp: t]";
    QTest::newRow("1234 and 1400") << 1234 << 1400 << QByteArray("t") << title
                                   << "   Kestrune.dll - Version: 12.34 - MSVC++ v14.00: Unknown "
                                      "compiler - [DLL Timestamp: t]";
    QTest::newRow("900") << 104 << 900 << QByteArray("t") << title
                         << "   Kestrune.dll - Version: 1.04 - MSVC++ v09.00: Unknown compiler - "
                            "[DLL Timestamp: t]";
    QTest::newRow("0 and 1202") << 0 << 1202 << QByteArray("t") << title
                                << "   Kestrune.dll - Version: 0.00 - MSVC++ v12.02: Unknown "
                                   "compiler - [DLL Timestamp: t]";
    QTest::newRow("negative") << -5 << -500 << QByteArray("t") << title
                              << "   Kestrune.dll - Version: -0.05 - MSVC++ v-05.00: Unknown "
                                 "compiler - [DLL Timestamp: t]";
    QTest::newRow("empty time stamp")
        << 104 << 1500 << QByteArray() << title
        << "   Kestrune.dll - Version: 1.04 - MSVC++ v15.00: VC9.0/Visual Studio 2008 - [DLL "
           "Timestamp: ]";
}

void StartUpTests::banner()
{
    QFETCH(int, libVersion);
    QFETCH(int, msvcVersion);
    QFETCH(QByteArray, timeStamp);
    QFETCH(QString, title);
    QFETCH(QString, status);
    WindowFixture f;
    f.libVersion = int16_t(libVersion);
    f.msvcVersion = int16_t(msvcVersion);
    f.timeStamp = timeStamp;
    QVERIFY(f.startAndShow());
    QCOMPARE(f.window->windowTitle(), title);
    QCOMPARE(f.window->SB1->currentMessage(), status);
    QCOMPARE(f.window->port().statusText(), status);
}

void StartUpTests::bannerUsesTheUsersDecimalSeparator()
{
    WindowFixture f;
    f.engineVersion = "3.45.0";
    f.engineNumber = 3045000;
    QVERIFY(f.start(QLocale(QLocale::German, QLocale::Germany)));
    QCOMPARE(f.window->port().statusText(),
             QStringLiteral("   Kestrune.dll - Version: 1,04 - MSVC++ v15,00: VC9.0/Visual Studio "
                            "2008 - [DLL Timestamp: Jan 02 2025 03:04:05]"));
    // The demonstration's own version and the engine's texts are not numbers of the locale.
    QCOMPARE(f.window->windowTitle(),
             QStringLiteral("Kestrune Tolvane Demo v1.04 - SQLite Version 3.45.0 (3045000)"));
}

void StartUpTests::bannerCallsTheLibraryInOrder()
{
    WindowFixture f;
    QVERIFY(f.start());
    QCOMPARE(f.standin.calls(),
             QStringLiteral("KestLibVersion;sqlite3_libversion;sqlite3_libversion_number;"
                            "MSVCVersion;MSVCVersion;KestLibTimeStamp;SetUnicodeConversion(0);"));
}

void StartUpTests::bannerOfTheRealLibrary()
{
    ScriptedDesktop desktop;
    ModuleState state;
    KestruneBinding library(QStringLiteral(KEST_REAL_LIBRARY));
    const kest::StartUp result = openMainWindow(library, desktop, state);
    QVERIFY2(result.window, qPrintable(result.failure));
    // The library runs the SQLite it was built with, which is the one installed here.
    QCOMPARE(result.window->windowTitle(),
             QStringLiteral("Kestrune Tolvane Demo v1.04 - SQLite Version " SQLITE_VERSION " (") +
                 QString::number(SQLITE_VERSION_NUMBER) + QLatin1Char(')'));
    // Built by the same compiler as this test: major * 100 + minor, shown as "0#.00".
    const QString compiler =
        QStringLiteral("%1.%2").arg(__GNUC__, 2, 10, QLatin1Char('0')).arg(__GNUC_MINOR__, 2, 10, QLatin1Char('0'));
    const QString status = result.window->port().statusText();
    QVERIFY2(status.startsWith(QStringLiteral("   Kestrune.dll - Version: 1.04 - MSVC++ v") + compiler +
                               QStringLiteral(": Unknown compiler - [DLL Timestamp: ")),
             qPrintable(status));
    QVERIFY(status.endsWith(QLatin1Char(']')));
    QVERIFY(desktop.messages().isEmpty());
}

void StartUpTests::missingLibraryIsReportedWithTheLoadersDescription()
{
    ScriptedDesktop desktop;
    ModuleState state;
    const QString name = QStringLiteral("kest_library_that_is_not_there");
    KestruneBinding library(name);
    const kest::StartUp result = openMainWindow(library, desktop, state);
    QVERIFY(!result.window);
    QLibrary loader(name);
    QVERIFY(!loader.load());
    QVERIFY2(result.failure.contains(loader.errorString()), qPrintable(result.failure));
    QCOMPARE(desktop.messages().size(), 1);
    const ScriptedDesktop::Message &shown = desktop.messages().first();
    QCOMPARE(shown.prompt, result.failure);
    QCOMPARE(shown.title, QString()); // the application's own title
    QCOMPARE(shown.buttons, MessageButtons::Ok);
    QCOMPARE(shown.icon, MessageIcon::Critical);
}

void StartUpTests::missingFunctionIsReportedAndEndsTheBanner()
{
    ScriptedDesktop desktop;
    ModuleState state;
    state.UseUnicode = True16;
    KestruneBinding library(partialStandinPath());
    const kest::StartUp result = openMainWindow(library, desktop, state);
    QVERIFY(!result.window);
    QCOMPARE(desktop.messages().size(), 1);
    QVERIFY2(desktop.messages().first().prompt.contains(QLatin1String("kest_sqlite3_libversion")),
             qPrintable(desktop.messages().first().prompt));
    // Start-up stopped at the failing call: the Unicode switch was never reached.
    QCOMPARE(state.UseUnicode, True16);
}

namespace {

// A copy of the real program in a folder of its own, run without a display.
struct ProgramCopy {
    QTemporaryDir folder;
    QString program;

    bool make()
    {
        program = folder.filePath(QStringLiteral("kestrune-demo"));
        return folder.isValid() && QFile::copy(QStringLiteral(KEST_DEMO_PROGRAM), program);
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("KESTRUNE_DEMO_DIALOG_AUTOCLOSE"), QStringLiteral("1"));
        env.remove(QStringLiteral("LD_LIBRARY_PATH")); // only the two places of the binding
        return env;
    }
};

} // namespace

void StartUpTests::programWithoutLibraryShowsTheMessageAndFails()
{
    ProgramCopy copy;
    QVERIFY(copy.make());
    QProcess process;
    process.setProcessEnvironment(copy.environment());
    process.setWorkingDirectory(copy.folder.path());
    process.start(copy.program, {});
    QVERIFY(process.waitForFinished(60000));
    const QString errors = QString::fromLocal8Bit(process.readAllStandardError());
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QVERIFY2(process.exitCode() == StartUpFailedExitStatus, qPrintable(errors));
    // The loader's own words about the file beside the program.
    QLibrary besideProgram(QDir(copy.folder.path()).filePath(QStringLiteral("kestrune3")));
    QVERIFY(!besideProgram.load());
    QVERIFY2(errors.contains(QLatin1String("kestrune-demo: ") + besideProgram.errorString()),
             qPrintable(errors));
}

void StartUpTests::programFindsTheLibraryInItsOwnFolder()
{
    ProgramCopy copy;
    QVERIFY(copy.make());
    QVERIFY(QFile::copy(standinPath(), copy.folder.filePath(QStringLiteral("libkestrune3.so"))));
    QProcess process;
    process.setProcessEnvironment(copy.environment());
    process.start(copy.program, {});
    QVERIFY(process.waitForStarted());
    // Start-up is over within a few seconds; a failing one would have ended the program by now.
    QVERIFY(!process.waitForFinished(4000));
    QCOMPARE(process.state(), QProcess::Running);
    process.kill();
    process.waitForFinished();
    QCOMPARE(QString::fromLocal8Bit(process.readAllStandardError()).contains(QLatin1String("kestrune-demo:")),
             false);
}

KEST_REGISTER_TEST(StartUpTests);
#include "tst_StartUp.moc"
