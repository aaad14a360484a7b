// Hostile input through the real window's buttons over the real library: a file that is not a
// database, a locked and a read-only database, a script of several megabytes with a one-megabyte
// line, and cells that are BLOBs or not valid UTF-8. Each ends in a status line that says what
// happened.

#include "DemoData.h"
#include "RealWindowFixture.h"
#include "TestRegistry.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTableView>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

using namespace kest;
using namespace kest::test;

namespace {

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size() && file.flush();
}

// A connection of its own through the library, as another program would hold one.
class Connection {
public:
    Connection(KestruneBinding &library, const QString &path) : library_(library)
    {
        open_ = library_.sqlite3_open_v2(path.toUtf8(), handle_, KEST_OPEN_READWRITE | KEST_OPEN_CREATE, nullptr);
    }
    ~Connection() { library_.sqlite3_close(handle_); }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // The status of `sql`, with the error text after a colon when there is one.
    QString run(const QString &sql)
    {
        if (open_ != 0)
            return QStringLiteral("open failed: %1").arg(open_);
        KestTable table;
        KestText error;
        int16_t status = 0;
        library_.sqlite_get_table(table, handle_, sql.toUtf8(), error, status);
        return error ? QStringLiteral("%1: %2").arg(status).arg(toQString(error)) : QString::number(status);
    }

private:
    KestruneBinding &library_;
    int32_t handle_ = 0;
    int16_t open_ = 0;
};

QString populateSql()
{
    return QString(CreateArtistsTableSql) + QStringLiteral(";") + QString(CreateCDsTableSql) + QStringLiteral(";") +
           BuildArtistsScript() + BuildCDsScript();
}

// A tmpfs mounted on `folder` while alive, which can be made read-only: what stops root from
// writing a file, since root ignores permission bits.
class SmallMount {
public:
    explicit SmallMount(const QString &folder) : folder_(folder.toLocal8Bit())
    {
        mounted_ = mount("tmpfs", folder_.constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=1m") == 0;
        error_ = mounted_ ? QString() : QString::fromLocal8Bit(std::strerror(errno));
    }
    ~SmallMount()
    {
        if (mounted_)
            umount2(folder_.constData(), MNT_DETACH);
    }
    SmallMount(const SmallMount &) = delete;
    SmallMount &operator=(const SmallMount &) = delete;
    bool mounted() const { return mounted_; }
    QString error() const { return error_; }
    bool makeReadOnly()
    {
        return mount("tmpfs", folder_.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV,
                     "size=1m") == 0;
    }

private:
    QByteArray folder_;
    bool mounted_ = false;
    QString error_;
};

} // namespace

class HostileInputWindowTests : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        f = std::make_unique<RealWindowFixture>();
        QVERIFY(f->start());
        database = f->inFolder(QStringLiteral("hostile.db"));
        f->window->Text1->setText(database);
    }
    void cleanup() { f.reset(); }

    void aFileThatIsNotADatabaseIsNamedSoAndLeftAlone()
    {
        const QByteArray notes = QByteArray("These are notes, not a database.\r\n").repeated(300);
        QVERIFY(writeBytes(database, notes));
        f->type(QStringLiteral("SELECT * FROM sqlite_master"));
        f->click(f->window->Command1);
        compareStatus(f->status(), QStringLiteral("0 rows - Status code: 26 (file is not a database)"));
        f->type(QStringLiteral("CREATE TABLE t(x); INSERT INTO t VALUES (1)"));
        f->click(f->window->Command12);
        compareStatus(f->status(), QStringLiteral(" 0 rows - Status code: 26 (file is not a database)"));
        QCOMPARE(f->window->results().rowCount(), 0);
        QCOMPARE(readBytes(database), notes);
    }

    // Another connection holds the database: with a write lock, reads go on and writes get the
    // busy text; with an exclusive lock, reads get it too, on both paths; once it is gone, all
    // runs again and the other connection's rolled-back work has left nothing.
    void aLockedDatabaseGivesTheBusyTextOnBothPaths()
    {
        Connection other(f->library, database);
        QCOMPARE(other.run(populateSql()), QStringLiteral("0"));
        QCOMPARE(other.run(QStringLiteral("BEGIN IMMEDIATE; DELETE FROM CDs WHERE CDID > 100")), QStringLiteral("0"));

        f->type(QStringLiteral("SELECT count(*) FROM CDs"));
        f->click(f->window->Command1);
        compareStatus(f->status(), QStringLiteral("1 rows - Status code: 0 (OK)"));
        QCOMPARE(f->window->results().cellText(0, 0), QString::number(DemoCDCount));
        f->type(QStringLiteral("INSERT INTO Artists VALUES (NULL, 'Locked Out')"));
        f->click(f->window->Command12);
        compareStatus(f->status(), QStringLiteral(" 0 rows - Status code: 5 (database is locked)"));

        QCOMPARE(other.run(QStringLiteral("COMMIT; BEGIN EXCLUSIVE; DELETE FROM CDs WHERE CDID > 50")),
                 QStringLiteral("0"));
        f->type(QStringLiteral("SELECT * FROM CDs"));
        f->click(f->window->Command1);
        compareStatus(f->status(), QStringLiteral("0 rows - Status code: 5 (database is locked)"));
        QCOMPARE(f->window->results().rowCount(), 0);
        f->click(f->window->Command12);
        compareStatus(f->status(), QStringLiteral(" 0 rows - Status code: 5 (database is locked)"));
        QCOMPARE(f->window->results().rowCount(), 0);

        QCOMPARE(other.run(QStringLiteral("ROLLBACK")), QStringLiteral("0"));
        f->click(f->window->Command1);
        compareStatus(f->status(), QStringLiteral("100 rows - Status code: 0 (OK)"));
        f->type(QStringLiteral("SELECT count(*) FROM Artists"));
        f->click(f->window->Command12);
        compareStatus(f->status(), QStringLiteral(" 1 rows - Status code: 0 (Success)"));
        QCOMPARE(f->window->results().cellText(0, 0), QString::number(DemoArtistCount));
    }

    // The program opens read-write. On a read-only file it still opens (read-only), answers
    // queries and refuses every write with the library's text, on both paths, and the file
    // stays as it was. Root ignores a file's mode, so for root the file lies on a file system
    // mounted read-only; for anyone else its mode is 0444.
    void aReadOnlyDatabaseAnswersAndRefusesWrites()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        std::optional<SmallMount> mount;
        if (geteuid() == 0) {
            mount.emplace(folder.path());
            if (!mount->mounted())
                QSKIP(qPrintable(QStringLiteral("root, and no read-only file system can be mounted: ") +
                                 mount->error()));
        }
        database = folder.filePath(QStringLiteral("readonly.db"));
        {
            Connection maker(f->library, database);
            QCOMPARE(maker.run(populateSql()), QStringLiteral("0"));
        }
        if (mount)
            QVERIFY(mount->makeReadOnly());
        else
            QCOMPARE(chmod(database.toLocal8Bit().constData(), 0444), 0);
        const QByteArray before = readBytes(database);
        f->window->Text1->setText(database);

        f->type(QStringLiteral("SELECT count(*) FROM CDs"));
        f->click(f->window->Command1);
        compareStatus(f->status(), QStringLiteral("1 rows - Status code: 0 (OK)"));
        QCOMPARE(f->window->results().cellText(0, 0), QString::number(DemoCDCount));
        f->click(f->window->Command12);
        compareStatus(f->status(), QStringLiteral(" 1 rows - Status code: 0 (Success)"));

        const QString refused = QStringLiteral("Status code: 8 (attempt to write a readonly database)");
        for (const QString &sql : {QStringLiteral("INSERT INTO Artists VALUES (NULL, 'x')"),
                                   QStringLiteral("DROP TABLE CDs"), QStringLiteral("VACUUM")}) {
            f->type(sql);
            f->click(f->window->Command1);
            compareStatus(f->status(), QStringLiteral("0 rows - ") + refused);
            f->click(f->window->Command12);
            compareStatus(f->status(), QStringLiteral(" 0 rows - ") + refused);
        }
        QCOMPARE(readBytes(database), before);
        if (!mount)
            chmod(database.toLocal8Bit().constData(), 0644);
    }

    // Several megabytes with a one-megabyte line, loaded by Load Script and run by both buttons.
    void aScriptOfSeveralMegabytesWithAMegabyteLineLoadsAndRuns()
    {
        constexpr int LongLine = 1 << 20;
        constexpr int ShortRows = 40000;
        const QByteArray remLine = "REM several megabytes, one line of a megabyte\r\n";
        QByteArray script = remLine + "DROP TABLE IF EXISTS big;\r\nCREATE TABLE big(id INTEGER PRIMARY KEY, t TEXT);\r\n"
                                      "BEGIN;\r\n";
        script += "INSERT INTO big(t) VALUES ('" + QByteArray(LongLine - 32, 'm') + "');\r\n";
        const QByteArray row = "INSERT INTO big(t) VALUES ('" + QByteArray(64, 's') + "');\r\n";
        script += row.repeated(ShortRows);
        script += "COMMIT;\r\nSELECT count(*), sum(length(t)), max(length(t)) FROM big;";
        QVERIFY(script.size() > 4 * 1024 * 1024);
        const QString scriptPath = f->inFolder(QStringLiteral("big.sql"));
        QVERIFY(writeBytes(scriptPath, script));

        // Qt wrapped a line without word breaks in time that grew with its square: this click
        // and its painting froze the window for minutes.
        QElapsedTimer shown;
        shown.start();
        f->desktop.queueFileName(scriptPath);
        f->click(f->window->Command5);
        f->window->Text2->repaint();
        QVERIFY2(shown.elapsed() < 20000, qPrintable(QStringLiteral("%1 ms").arg(shown.elapsed())));
        QCOMPARE(f->window->Text2->wordWrapMode(), QTextOption::WrapAnywhere);
        const QString loaded = f->window->queryText();
        // Everything but the REM line, each line ending in CR LF, the megabyte line whole.
        QVERIFY(loaded == QString::fromLatin1(script.mid(remLine.size()) + "\r\n"));

        const QString count = QString::number(1 + ShortRows);
        const QString total = QString::number(LongLine - 32 + 64 * ShortRows);
        const QString widest = QString::number(LongLine - 32);
        f->click(f->window->Command1);
        compareStatus(f->status(), QStringLiteral("1 rows - Status code: 0 (OK)"));
        ResultsModel &list = f->window->results();
        QCOMPARE(QStringList({list.cellText(0, 0), list.cellText(0, 1), list.cellText(0, 2)}),
                 QStringList({count, total, widest}));
        f->click(f->window->Command12);
        compareStatus(f->status(), QStringLiteral(" 1 rows - Status code: 0 (Success)"));
        QCOMPARE(QStringList({list.cellText(0, 0), list.cellText(0, 1), list.cellText(0, 2)}),
                 QStringList({count, total, widest}));
        // Ordinary text breaks at words again.
        f->type(QStringLiteral("SELECT 1"));
        QCOMPARE(f->window->Text2->wordWrapMode(), QTextOption::WrapAtWordBoundaryOrAnywhere);
    }

    // Text that is not valid UTF-8 shows with U+FFFD for each bad byte; a BLOB shows as its
    // text when it is valid UTF-8 without a zero byte, as X'..' hex otherwise; on both paths and
    // in both text modes.
    void blobsAndInvalidUtf8ShowInTheirReadableForm()
    {
        Connection maker(f->library, database);
        QCOMPARE(maker.run(QStringLiteral(
                     "CREATE TABLE cells(id, t, b); INSERT INTO cells VALUES "
                     "(1, CAST(X'4D6F74C3B6FF72' AS TEXT), X'00FF10'),"
                     "(2, CAST(X'C3' AS TEXT), X'E69DB1E4BAAC'),"
                     "(3, CAST(X'80E69DB1FE' AS TEXT), X'41004200'),"
                     "(4, 'plain', NULL)")),
                 QStringLiteral("0"));
        const QStringList expected{
            QStringLiteral("1|Mot\u00f6\ufffdr|X'00FF10'"), QStringLiteral("2|\ufffd|\u6771\u4eac"),
            QStringLiteral("3|\ufffd\u6771\ufffd|X'41004200'"), QStringLiteral("4|plain|")};
        auto *unicode = f->window->findChild<QCheckBox *>(QStringLiteral("chkUnicode"));
        QVERIFY(unicode);
        for (const bool utf16 : {false, true}) {
            unicode->setChecked(utf16);
            QCOMPARE(f->state.UseUnicode != False16, utf16);
            f->type(QStringLiteral("SELECT id, t, b FROM cells ORDER BY id"));
            f->click(f->window->Command1);
            compareStatus(f->status(), QStringLiteral("4 rows - Status code: 0 (OK)"));
            QCOMPARE(listRows(), expected);
            f->click(f->window->Command12);
            compareStatus(f->status(), QStringLiteral(" 4 rows - Status code: 0 (Success)"));
            QCOMPARE(listRows(), expected);
        }
    }

private:
    QStringList listRows()
    {
        ResultsModel &list = f->window->results();
        QStringList rows;
        for (int r = 0; r < list.rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < list.columnCount(); ++c)
                cells << list.cellText(r, c);
            rows << cells.join(QLatin1Char('|'));
        }
        return rows;
    }

    std::unique_ptr<RealWindowFixture> f;
    QString database;
};

KEST_REGISTER_TEST(HostileInputWindowTests);
#include "tst_HostileInputWindow.moc"
