// Browse, Load Script, Save Script and the CSV export meeting the file system: the dialogs'
// folder and types, what a loaded script keeps, the saved bytes, and saves that fail.

#include "WindowTest.h"

#include "QueryEdit.h"
#include "ScriptCommands.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>

#include <sys/stat.h>
#include <unistd.h>

#include <optional>

using namespace kest;
using namespace kest::test;

Q_DECLARE_METATYPE(QList<kest::FileType>)

namespace {

bool write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class FileTests : public QObject {
    Q_OBJECT
    std::unique_ptr<Window> f;

    QString script(const QByteArray &bytes)
    {
        const QString path = f->path(QStringLiteral("script.sql"));
        return write(path, bytes) ? path : QString();
    }

private slots:
    void init() { f = std::make_unique<Window>(); QVERIFY(f->start(QStringLiteral("Albums.db"))); }
    void cleanup() { QVERIFY(f->wroteNothingElsewhere()); }

    // Each dialog opens on the working directory with its types; a cancel, a failing dialog or a
    // script without statements changes nothing and says nothing.
    void dialogs_data()
    {
        QTest::addColumn<bool>("browse");
        QTest::addColumn<int>("answer"); // 0 cancel, 1 the file below, 2 the dialog throws
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("browse chosen") << true << 1 << QByteArray();
        QTest::newRow("browse cancelled") << true << 0 << QByteArray();
        QTest::newRow("browse fails") << true << 2 << QByteArray();
        QTest::newRow("load cancelled") << false << 0 << QByteArray();
        QTest::newRow("load fails") << false << 2 << QByteArray();
        QTest::newRow("load only comments") << false << 1 << QByteArray("REM a\r\n  \r\nrem\r\n");
        QTest::newRow("load missing file") << false << 1 << QByteArray();
    }
    void dialogs()
    {
        QFETCH(bool, browse);
        QFETCH(int, answer);
        QFETCH(QByteArray, file);
        const QString chosen = file.isNull() ? f->path(QStringLiteral("chosen.db")) : script(file);
        if (answer == 1)
            f->desktop.queueFileName(chosen);
        else if (answer == 2)
            f->desktop.queueFileDialogFailure();
        f->w->queryEdit->setPlainText(QStringLiteral("Select 1"));
        f->click(browse ? f->w->button(Button::Browse) : f->w->button(Button::LoadScript));
        QCOMPARE(f->w->databaseEdit->text(), browse && answer == 1 ? chosen : QStringLiteral("Albums.db"));
        QCOMPARE(f->w->queryEdit->toPlainText(), QStringLiteral("Select 1"));
        QCOMPARE(f->desktop.fileRequests().size(), 1);
        QCOMPARE(f->desktop.fileRequests()[0].folder, QStringLiteral("."));
        const QList<FileType> types = browse ? QList<FileType>{{"*.db;*.db3;*.sqlite files", "*.db;*.db3;*.sqlite"},
                                                               {"All Files (*.*)", "*.*"}}
                                             : QList<FileType>{{"SQL Script Files (*.SQL)", "*.SQL"},
                                                               {"Text Fles (*.TXT)", "*.TXT"},
                                                               {"All Files (*.*)", "*.*"}};
        QCOMPARE(f->desktop.fileRequests()[0].types, types);
        QVERIFY(f->desktop.messages().isEmpty());
    }

    // Blank and REM lines go, the rest is trimmed of blanks; lines end at CR, LF or CR LF.
    void loadKeepsOnlyStatements_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("query");
        const QByteArray six = "REM create tables|  rem second comment|REM|REMARK x||SELECT 1;";
        QTest::newRow("CR LF") << QByteArray(six).replace('|', "\r\n") << "REMARK x\r\nSELECT 1;\r\n";
        QTest::newRow("LF") << QByteArray(six).replace('|', "\n") << "REMARK x\r\nSELECT 1;\r\n";
        QTest::newRow("CR") << QByteArray(six).replace('|', "\r") << "REMARK x\r\nSELECT 1;\r\n";
        QTest::newRow("tabs, BOM, UTF-8") << QByteArray("\xEF\xBB\xBF\tREM x\r\nREM\ty  \r\n  -- 'Mot\xC3\xB6rhead'  ")
                                          << "\tREM x\r\nREM\ty\r\n-- 'Motörhead'\r\n";
        // What other tools write: UTF-16 with a byte-order mark, and the 8-bit Windows-1252.
        const QString letters = QStringLiteral("REM x\r\n SELECT 'Mot\u00F6rhead \u20AC \u0151 \u00E9';\n");
        QByteArray le("\xFF\xFE"), be("\xFE\xFF");
        for (const QChar c : letters) {
            le.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
            be.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
        }
        QTest::newRow("UTF-16 LE") << le << "SELECT 'Mot\u00F6rhead \u20AC \u0151 \u00E9';\r\n";
        QTest::newRow("UTF-16 BE") << be << "SELECT 'Mot\u00F6rhead \u20AC \u0151 \u00E9';\r\n";
        QTest::newRow("UTF-16 LE, no mark") << le.sliced(2) << "SELECT 'Mot\u00F6rhead \u20AC \u0151 \u00E9';\r\n";
        QTest::newRow("UTF-16 BE, no mark") << be.sliced(2) << "SELECT 'Mot\u00F6rhead \u20AC \u0151 \u00E9';\r\n";
        QTest::newRow("Windows-1252") << QByteArray("SELECT 'Mot\xF6rhead \x80 \x93q\x94 \x81 \xE9';")
                                      << "SELECT 'Mot\u00F6rhead \u20AC \u201Cq\u201D \u0081 \u00E9';\r\n";
        QTest::newRow("UTF-8, one stray byte") << QByteArray("SELECT 'Mot\xC3\xB6rhead', 'it\x92s \xE2\x82\xAC\xE2\x82';")
                                               << "SELECT 'Mot\u00F6rhead', 'it\u2019s \u20AC\u00E2\u201A';\r\n";
    }
    void loadKeepsOnlyStatements()
    {
        QFETCH(QByteArray, file);
        f->desktop.queueFileName(script(file));
        f->click(f->w->button(Button::LoadScript));
        QTEST(f->w->queryText(), "query");
    }

    // A file that fails to read, is no script, or would not fit in memory says why, loads
    // nothing, not even the lines read before, and leaves the window answering.
    void filesThatCannotLoadSaySo_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("reason");
        QTest::newRow("read fails") << "/proc/self/mem" << QString(); // opens, then every read fails
        QTest::newRow("folder") << "folder" << QString(FolderReason);
        QTest::newRow("FIFO") << "fifo" << QString(NotAFileReason);
        QTest::newRow("endless device") << "/dev/zero" << QString(NotAFileReason);
        QTest::newRow("NUL byte") << "nul" << QString(NotTextReason);
        QTest::newRow("1 TB, sparse") << "sparse" << QString(TooBigReason).arg("1.0 TB");
        QTest::newRow("unreadable") << "unreadable" << QString(CannotOpenReason).arg("Permission denied");
    }
    void filesThatCannotLoadSaySo()
    {
        QFETCH(QString, file);
        QFETCH(QString, reason);
        QString path = file.startsWith(u'/') ? file : f->path(file);
        QFile made(path);
        if (file == "folder")
            path = f->folder.path();
        else if (file == "fifo")
            QCOMPARE(mkfifo(made.fileName().toLocal8Bit(), 0600), 0);
        else if (file == "nul")
            path = script(QByteArray("SELECT 1;\0 SELECT 2;", 20));
        else if (file == "sparse")
            QVERIFY(made.open(QIODevice::WriteOnly) && made.resize(qint64(1) << 40));
        else if (file == "unreadable" && geteuid() == 0)
            path = QStringLiteral("/proc/sys/vm/drop_caches"); // root reads any file, yet not this one
        else if (file == "unreadable")
            QVERIFY(write(path, "SELECT 1;") && made.setPermissions({}));
        f->w->queryEdit->setPlainText(QStringLiteral("Select 1"));
        f->desktop.queueFileName(path);
        f->click(f->w->button(Button::LoadScript));
        QCOMPARE(f->w->queryText(), QStringLiteral("Select 1"));
        QCOMPARE(f->desktop.messages().size(), 1);
        QCOMPARE(f->desktop.messages()[0].prompt, NotLoadedPrompt + path + (reason.isEmpty() ? "" : "\r\n\r\n" + reason));
        QCOMPARE(f->desktop.messages()[0].title, QStringLiteral("Error"));
        QVERIFY(f->desktop.messages()[0].icon == MessageIcon::Critical);
    }

    // A script too big for the editor is shown in part, yet what runs, what is saved and what is
    // copied is exactly what was loaded; Delete empties the window, which is the editor's again.
    void bigScriptIsKeptWhole()
    {
        QByteArray file = "BEGIN;\r\nCREATE TABLE b(x);\r\n";
        int rows = 0;
        for (; file.size() <= QueryEdit::BigTextBytes; ++rows)
            file += "INSERT INTO b VALUES('" + QByteArray::number(rows) + " \xC3\xA9');\r\n";
        file += "COMMIT;\r\n";
        f->w->databaseEdit->setText(f->path(QStringLiteral("test.db")));
        f->desktop.queueFileName(script(file));
        f->click(f->w->button(Button::LoadScript));
        QVERIFY(f->w->queryEdit->isReadOnly() && f->w->queryEdit->toPlainText().size() < 5000);
        f->click(f->w->button(Button::SaveScript));
        QCOMPARE(f->file(QStringLiteral("Kestrune-saved.sql")), file + "\r\n");
        f->click(f->w->button(Button::Copy));
        QCOMPARE(f->desktop.clipboardWrites().last(), QString::fromUtf8(file));
        f->click(f->w->button(Button::RunQuery));
        QCOMPARE(f->untimedStatus(), QStringLiteral("0 rows - Status code: 0 (Success)"));
        f->w->queryEdit->setFocus();
        QTest::keyClick(f->w->queryEdit, Qt::Key_Delete);
        QVERIFY(f->w->queryText().isEmpty() && !f->w->queryEdit->isReadOnly());
        f->run(f->w->button(Button::RunQuery), QStringLiteral("SELECT count(*), sum(x LIKE '% \u00E9') FROM b"));
        QCOMPARE(f->rows(), QStringList{QStringLiteral("%1|%1").arg(rows)});
    }

    // A literal typed over two lines reaches the engine as typed, one in a big text as it was
    // pasted; the saved file ends every line with CR LF, whatever ended it.
    void lineEndsReachTheEngineAsTypedAndSaveAsCrLf()
    {
        f->w->databaseEdit->setText(f->path(QStringLiteral("test.db")));
        f->w->queryEdit->clear();
        f->w->queryEdit->setFocus();
        QTest::keyClicks(f->w->queryEdit, QStringLiteral("SELECT hex('a"));
        QTest::keyClick(f->w->queryEdit, Qt::Key_Return);
        QTest::keyClicks(f->w->queryEdit, QStringLiteral("b')"));
        f->click(f->w->button(Button::RunQuery));
        QCOMPARE(f->rows(), QStringList{"610A62"});
        const QStringList ends{"\r\n", "\n", "\r", "\n\r", "\n\n"};
        QString text = QStringLiteral("\n");
        for (int i = 0; text.size() <= QueryEdit::BigTextBytes; ++i)
            text += QStringLiteral("-- %1 \u00E9").arg(i) + ends[i % ends.size()];
        text += QStringLiteral("SELECT hex('a\nb\r\nc\rd');\r");
        f->desktop.setClipboardContents(text);
        f->click(f->w->button(Button::Paste));
        f->click(f->w->button(Button::RunQuery));
        QCOMPARE(f->rows(), QStringList{"610A620D0A630D64"});
        f->click(f->w->button(Button::SaveScript));
        text.replace(QRegularExpression(QStringLiteral("\r\n|\r|\n")), QStringLiteral("\r\n"));
        QCOMPARE(f->file(QStringLiteral("Kestrune-saved.sql")), text.toUtf8() + "\r\n");
    }

    // The part shown of a big text counts the lines of the whole, whatever ends them.
    void bigTextCountsItsLines_data()
    {
        QTest::addColumn<QStringList>("ends");
        QTest::newRow("CR LF") << QStringList{"\r\n"};
        QTest::newRow("CR, LF and CR LF") << QStringList{"\r\n", "\n", "\r"};
    }
    void bigTextCountsItsLines()
    {
        QFETCH(QStringList, ends);
        QString text;
        int lineEnds = 0;
        for (; text.size() <= QueryEdit::BigTextBytes; ++lineEnds)
            text += QStringLiteral("SELECT %1;").arg(lineEnds) + ends[lineEnds % ends.size()];
        f->desktop.setClipboardContents(text + QStringLiteral("SELECT 0;"));
        f->click(f->w->button(Button::Paste));
        const QString lines = f->w->queryEdit->locale().toString(lineEnds + 1);
        QVERIFY(f->w->queryEdit->toPlainText().contains(QStringLiteral(" bytes in %1 lines.").arg(lines)));
    }

    // The file holds the window's lines with CR LF and one more CR LF, and loads back.
    void saveWritesTheWindowWithCrLf()
    {
        const QString saved = f->path(QStringLiteral("Kestrune-saved.sql"));
        QFile left(saved + ".0123abcd.tmp"); // what a save killed before its rename left: removed
        QVERIFY(left.open(QIODevice::WriteOnly) && left.setFileTime(QDateTime::currentDateTime().addSecs(-120), QFileDevice::FileModificationTime));
        f->w->queryEdit->setPlainText(QStringLiteral("  SELECT 'Motörhead';  \n\nREM x\n  "));
        f->click(f->w->button(Button::SaveScript));
        QCOMPARE(f->file(QStringLiteral("Kestrune-saved.sql")), QByteArray("  SELECT 'Mot\xC3\xB6rhead';  \r\n\r\nREM x\r\n  \r\n"));
        QCOMPARE(f->desktop.messages().size(), 1);
        QCOMPARE(f->desktop.messages()[0].prompt, "Saved current SQL query as:\r\n\r\n" + saved);
        QCOMPARE(f->desktop.messages()[0].title, QStringLiteral("Success"));
        f->desktop.queueFileName(saved);
        f->click(f->w->button(Button::LoadScript));
        QCOMPARE(f->w->queryText(), QStringLiteral("SELECT 'Motörhead';\r\n"));
        f->w->queryEdit->clear(); // an empty window saves nothing
        f->click(f->w->button(Button::SaveScript));
        QCOMPARE(f->file(QStringLiteral("Kestrune-saved.sql")), QByteArray("  SELECT 'Mot\xC3\xB6rhead';  \r\n\r\nREM x\r\n  \r\n"));
        QCOMPARE(QDir(f->folder.path()).entryList(QDir::Files), QStringList{"Kestrune-saved.sql"});
    }

    // A full disk, a folder in place of the file, and a per-user data folder whose path runs
    // through a file: the save says so and the earlier file stays byte for byte, with nothing beside it.
    // (Exec's rows meet a full disk or such a folder while they run: see ExecSpillTests.)
    void failedSavesKeepTheEarlierFile_data()
    {
        QTest::addColumn<bool>("csv");
        QTest::addColumn<int>("fault"); // 0 full disk, 1 folder in place, 2 path through a file
        QTest::addRow("script, full disk") << false << 0;
        QTest::addRow("script, folder in place") << false << 1;
        QTest::addRow("script, path through a file") << false << 2;
        QTest::addRow("CSV, folder in place") << true << 1;
    }
    void failedSavesKeepTheEarlierFile()
    {
        QFETCH(bool, csv);
        QFETCH(int, fault);
        const QString name = csv ? QStringLiteral("Kestrune-output.csv") : QStringLiteral("Kestrune-saved.sql");
        const QByteArray earlier = "earlier\r\n";
        QVERIFY(fault == 1 ? QDir(f->folder.path()).mkdir(name) : write(f->path(name), earlier));
        // A program folder that is not there cannot be written (root can write any other), so
        // the per-user data folder is used, here under a file.
        if (fault == 2) {
            f->w->setProgramFolder(f->path(name) + QStringLiteral("/program"));
            qputenv("XDG_DATA_HOME", f->path(name).toUtf8());
        }
        const QString target = (fault == 2 ? f->path(name) + QStringLiteral("/kestrune-demo") : f->folder.path()) +
                               QLatin1Char('/') + name;
        const auto unsetDataHome = qScopeGuard([] { qunsetenv("XDG_DATA_HOME"); });
        f->w->databaseEdit->setText(f->path(QStringLiteral("test.db")));
        f->w->queryEdit->setPlainText(csv ? QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                                                      "FROM n WHERE i < 30000) SELECT i FROM n")
                                     : QString(200, u'x'));
        f->desktop.queueAnswer(MessageAnswer::Yes);
        {
            std::optional<FileSizeLimit> limit;
            QVERIFY(fault != 0 || limit.emplace(64).active);
            f->click(csv ? f->w->button(Button::Exec) : f->w->button(Button::SaveScript));
        }
        const ScriptedDesktop::Message &failed = f->desktop.messages().last();
        QCOMPARE(failed.prompt, csv ? "Failed to save:\r\n\r\n" + target : "Failed to save SQL to " + target);
        QCOMPARE(failed.title, QStringLiteral("Error"));
        QVERIFY(failed.buttons == MessageButtons::Ok && failed.icon == MessageIcon::Critical);
        if (fault == 1)
            QVERIFY(QFileInfo(f->path(name)).isDir());
        else
            QCOMPARE(f->file(name), earlier);
        QCOMPARE(QDir(f->folder.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 (csv ? QStringList{name, "test.db"} : QStringList{name}));
    }
};

KEST_TEST_CLASS(FileTests);
#include "tst_Files.moc"
