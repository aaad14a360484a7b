// The user's files stay the user's: an installed program puts its database, saved script and
// CSV export into the private per-user data folder (not its own folder, not the working folder),
// a save replaces a link planted at its path instead of writing through it, and a write past
// the file-size limit fails like a full disk instead of ending the program.

#include "WindowTest.h"

#include <QScopeGuard>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace kest;
using namespace kest::test;

namespace {

const QString ManyRows = QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 30000) SELECT i FROM n");

int modeOf(const QString &path)
{
    struct stat info {};
    return stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

} // namespace

class DataFolderTests : public QObject {
    Q_OBJECT
private slots:
    // The program in P/bin beside P/share/kestrune-demo, as installed, in a folder it can write
    // (as root can any): Exec with its CSV and Save Script on the default database name.
    void installedProgramKeepsItsFilesInThePrivateDataFolder_data()
    {
        QTest::addColumn<QString>("dataHome"); // XDG_DATA_HOME
        QTest::addColumn<QString>("expected"); // under the temporary folder
        QTest::addColumn<int>("existingMode"); // of a folder already there, 0: none
        QTest::addRow("XDG_DATA_HOME") << "/data" << "data/kestrune-demo" << 0;
        QTest::addRow("relative XDG_DATA_HOME ignored") << "data" << "home/.local/share/kestrune-demo" << 0;
        QTest::addRow("folder already there") << "/data" << "data/kestrune-demo" << 0755;
    }
    void installedProgramKeepsItsFilesInThePrivateDataFolder()
    {
        QFETCH(QString, dataHome);
        QFETCH(QString, expected);
        QFETCH(int, existingMode);
        Window f;
        QVERIFY(f.start(QStringLiteral("Albums.db")));
        const QString bin = f.path(QStringLiteral("prefix/bin")), data = f.path(expected);
        QVERIFY(QDir().mkpath(bin) && QDir().mkpath(f.path(QStringLiteral("prefix/share/kestrune-demo"))));
        QVERIFY(existingMode == 0 || (QDir().mkpath(data) && chmod(QFile::encodeName(data).constData(), existingMode) == 0));
        f.w->setProgramFolder(bin);
        const QByteArray home = qgetenv("HOME");
        const auto restore = qScopeGuard([&] {
            qputenv("HOME", home);
            qunsetenv("XDG_DATA_HOME");
        });
        qputenv("HOME", f.path(QStringLiteral("home")).toUtf8());
        qputenv("XDG_DATA_HOME", (dataHome.startsWith(u'/') ? f.folder.path() + dataHome : dataHome).toUtf8());
        f.desktop.queueAnswer(MessageAnswer::Yes);
        f.run(f.w->Command12, ManyRows);
        f.click(f.w->Command17);
        QCOMPARE(QDir(data).entryList(QDir::Files), (QStringList{"Albums.db", "Kestrune-output.csv", "Kestrune-saved.sql"}));
        QCOMPARE(modeOf(data), existingMode == 0 ? 0700 : existingMode);
        QVERIFY(QDir(bin).isEmpty() && f.wroteNothingElsewhere());
    }

    // A link at the saved script's or the CSV's path, to another's file: the save replaces the
    // link with the new file, and the file it pointed to stays as it was.
    void savesReplaceAPlantedLinkNotTheFileItNames_data()
    {
        QTest::addColumn<bool>("csv");
        QTest::addRow("saved script") << false;
        QTest::addRow("CSV export") << true;
    }
    void savesReplaceAPlantedLinkNotTheFileItNames()
    {
        QFETCH(bool, csv);
        Window f;
        QVERIFY(f.start());
        const QString name = csv ? QStringLiteral("Kestrune-output.csv") : QStringLiteral("Kestrune-saved.sql");
        const QString theirs = f.elsewhere.filePath(QStringLiteral("theirs"));
        QFile file(theirs);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("theirs") == 6);
        file.close();
        QVERIFY(QFile::link(theirs, f.path(name)));
        f.desktop.queueAnswer(MessageAnswer::Yes);
        f.run(csv ? f.w->Command12 : f.w->Command17, ManyRows);
        QCOMPARE(f.desktop.messages().constLast().title, QStringLiteral("Success"));
        QVERIFY(!QFileInfo(f.path(name)).isSymLink());
        QVERIFY(f.file(name).startsWith(csv ? QByteArray("\"1\"\r\n\"2\"\r\n") : ManyRows.toUtf8() + "\r\n"));
        QCOMPARE(QDir(f.folder.path()).entryList(QDir::Files), (csv ? QStringList{name, "test.db"} : QStringList{name}));
        QVERIFY(file.open(QIODevice::ReadOnly) && file.readAll() == "theirs");
    }

    // ulimit -f: the export fails with its message, the program lives, the old CSV stays.
    void aWritePastTheFileSizeLimitFailsLikeAFullDisk()
    {
        std::signal(SIGXFSZ, SIG_DFL); // what a shell gives the program
        Window f;
        QVERIFY(f.start());
        QFile earlier(f.path(QStringLiteral("Kestrune-output.csv")));
        QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier\r\n") == 9);
        earlier.close();
        rlimit limit{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &limit) == 0);
        const rlim_t previous = std::exchange(limit.rlim_cur, 100 * 1024);
        QVERIFY(setrlimit(RLIMIT_FSIZE, &limit) == 0);
        f.desktop.queueAnswer(MessageAnswer::Yes);
        f.run(f.w->Command12, ManyRows);
        limit.rlim_cur = previous;
        QVERIFY(setrlimit(RLIMIT_FSIZE, &limit) == 0);
        QCOMPARE(f.desktop.messages().constLast().prompt, "Failed to save:\r\n\r\n" + earlier.fileName());
        QCOMPARE(f.file(QStringLiteral("Kestrune-output.csv")), QByteArray("earlier\r\n"));
    }
};

KEST_TEST_CLASS(DataFolderTests);
#include "tst_DataFolder.moc"
