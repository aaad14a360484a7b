// Exec's rows past those the list shows go to disk as they arrive: a result many times the
// memory budget is counted whole and saved byte for byte; a disk that fills, or a folder that
// cannot be written, ends the run with the rows so far counted, shown and saved; the file that
// held them goes with the click; counts go past what 32 bits hold.

#include "WindowTest.h"

#include <QScopeGuard>

#include <sys/stat.h>

#include <filesystem>
#include <optional>

using namespace kest;
using namespace kest::test;

namespace {

// Rows i = 1, 2, …: a number, a text with quotes and a comma, and 60 letters (%2 past the list).
const QString Rows = QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) SELECT i, "
                                    "'say \"' || i || '\", then', printf('%.*c', iif(i > 25000, %2, 60), char(65 + i % 26)) FROM n");

// The file holds exactly rows 1 to `rows` of Rows as CSV, written here apart from the program's writer.
bool holdsRows(const QString &path, int64_t rows, int wide = 60)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray expected;
    for (int64_t i = 1; i <= rows; ++i) {
        const QByteArray n = QByteArray::number(i);
        expected += '"' + n + "\",\"say \"\"" + n + "\"\", then\",\"" + QByteArray(i > 25000 ? wide : 60, char('A' + i % 26)) + "\"\r\n";
        if (expected.size() >= (1 << 20) || i == rows) {
            if (file.read(expected.size()) != expected)
                return false;
            expected.clear();
        }
    }
    return file.atEnd();
}

mode_t modeOf(const QString &path)
{
    struct stat seen {};
    return stat(QFile::encodeName(path).constData(), &seen) == 0 ? seen.st_mode & 0777 : 0;
}

// Files this process holds open in `folder`, files without a name there included.
int openFilesIn(const QString &folder)
{
    int open = 0;
    std::error_code ignored;
    for (const auto &fd : std::filesystem::directory_iterator("/proc/self/fd", ignored))
        open += QFile::decodeName(std::filesystem::read_symlink(fd, ignored).c_str()).startsWith(folder + '/');
    return open;
}

} // namespace

class ExecSpillTests : public QObject {
    Q_OBJECT
private slots:
    // 25,000 rows of Rows and the engine fit; two million (200 MB) are eight times as much.
    void initTestCase() { qputenv("KESTRUNE_MEMORY_LIMIT", "24M"); }

    // The export, like the script's save, keeps the permissions of the file it replaces.
    void aResultManyTimesTheBudgetIsCountedAndSavedWhole()
    {
        Window f;
        QVERIFY(f.start());
        const QStringList saved{f.path(QStringLiteral("Kestrune-output.csv")), f.path(QStringLiteral("Kestrune-saved.sql"))};
        for (const QString &path : saved)
            QVERIFY(QFile(path).open(QIODevice::WriteOnly) &&
                    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        f.desktop.queueAnswer(MessageAnswer::Yes);
        f.run(f.w->button(Button::Exec), Rows.arg(2000000).arg(60));
        QCOMPARE(f.untimedStatus(), QStringLiteral(" 2,000,000 rows - Status code: 0 (Success)"));
        QCOMPARE(f.w->results().rowCount(), 25000);
        QCOMPARE(f.w->results().cellText(24999, 0), QStringLiteral("25000"));
        QCOMPARE(f.desktop.messages().size(), 2);
        QVERIFY(holdsRows(f.path(QStringLiteral("Kestrune-output.csv")), 2000000));
        QCOMPARE(openFilesIn(f.folder.path()), 0);
        f.click(f.w->button(Button::SaveScript));
        QCOMPARE((QList<mode_t>{modeOf(saved[0]), modeOf(saved[1])}), (QList<mode_t>{0640, 0640}));
    }

    // A disk that fills while the rows go to it (the file-size limit), with rows small or far
    // larger than any write block, and a data folder whose path runs through a file: the run
    // ends, the rows whole on disk are counted, shown and saved, and nothing is left behind.
    void aFullDiskOrAFolderThatCannotBeWrittenEndsTheRun_data()
    {
        QTest::addColumn<int>("limit"); // 0: the folder through a file
        QTest::addColumn<int>("wide");
        QTest::newRow("full disk") << (4 << 20) << 60;
        QTest::newRow("full disk, 3 MB cells") << (20 << 20) << 3000000;
        QTest::newRow("folder through a file") << 0 << 60;
    }
    void aFullDiskOrAFolderThatCannotBeWrittenEndsTheRun()
    {
        QFETCH(int, limit);
        QFETCH(int, wide);
        const bool full = limit > 0;
        Window f;
        QVERIFY(f.start());
        f.w->databaseEdit->setText(f.path(QStringLiteral("test.db")));
        const QString file = f.path(QStringLiteral("file"));
        const auto unsetDataHome = qScopeGuard([] { qunsetenv("XDG_DATA_HOME"); });
        if (!full) {
            QFile(file).open(QIODevice::WriteOnly);
            f.w->setProgramFolder(file + QStringLiteral("/program"));
            qputenv("XDG_DATA_HOME", file.toUtf8());
        }
        // What an export killed before its rename left (removed once rows go to the folder), and
        // files that only look like it: a user's, and another copy's save in progress (just written).
        const QStringList planted{"Kestrune-output.csv.0123abcd.tmp", "Kestrune-output.csv.0123abcd.tmp~",
                                  "Kestrune-output.csv.89abcdef.tmp"};
        for (const QString &name : planted) {
            QFile made(f.path(name));
            const QDateTime touched = QDateTime::currentDateTime().addSecs(name[20] == '0' ? -120 : 0);
            QVERIFY(made.open(QIODevice::WriteOnly) && made.setFileTime(touched, QFileDevice::FileModificationTime));
        }
        f.desktop.queueAnswer(MessageAnswer::Yes);
        {
            std::optional<FileSizeLimit> fileSizeLimit;
            QVERIFY(!full || fileSizeLimit.emplace(limit).active);
            f.run(f.w->button(Button::Exec), Rows.arg(200000).arg(wide));
        }
        static const QRegularExpression ended(QStringLiteral("^ ([\\d,]+) rows - Status code: 4 \\(\\[(.*) after line: 50\\]\\)$"));
        const QRegularExpressionMatch m = ended.match(f.untimedStatus());
        QVERIFY2(m.hasMatch(), qPrintable(f.status()));
        const int rows = QLocale().toInt(m.captured(1));
        QCOMPARE(m.captured(2), full ? QStringLiteral("Disk full") : "Cannot write to " + file + "/kestrune-demo: Not a directory; the folder " + file + " could not be made: File exists");
        QVERIFY2(full ? rows > 25000 && rows < 200000 : rows == 25000, qPrintable(f.status()));
        QCOMPARE(f.w->results().rowCount(), 25000);
        QCOMPARE(f.desktop.messages().size(), full ? 2 : 0);
        QVERIFY(!full || holdsRows(f.path(QStringLiteral("Kestrune-output.csv")), rows, wide));
        QCOMPARE(openFilesIn(f.folder.path()), 0);
        const QStringList left = full ? QStringList{"Kestrune-output.csv"} + planted.mid(1) : planted + QStringList{"file"};
        QCOMPARE(QDir(f.folder.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries, QDir::Name), left + QStringList{"test.db"});
        // A file the export makes gets what the umask gives.
        const mode_t mask = umask(0);
        umask(mask);
        QVERIFY(!full || modeOf(f.path(QStringLiteral("Kestrune-output.csv"))) == (0666 & ~mask));
    }

    // The library counts this run on from near the largest 32-bit number: the count goes past it.
    void countsGoPastWhat32BitsHold()
    {
        Window f;
        QVERIFY(f.start());
        qputenv("KESTRUNE_TEST_EXEC_ROWS", "2147483640");
        f.run(f.w->button(Button::Exec), Rows.arg(30).arg(60));
        qunsetenv("KESTRUNE_TEST_EXEC_ROWS");
        QCOMPARE(f.untimedStatus(), QStringLiteral(" 2,147,483,670 rows - Status code: 0 (Success)"));
        QCOMPARE(f.w->results().rowCount(), 30);
    }
};

KEST_TEST_CLASS(ExecSpillTests);
#include "tst_ExecSpill.moc"
