// Write faults through the real window: Exec's CSV export (more than 25,000 rows, Yes) and Save
// Script into a full disk, a folder in which no file may be created, and a program folder whose
// path runs through a file. Each shows the failure message and leaves the earlier file byte for
// byte as it was, with no temporary file left beside it. (tests/window covers a CSV target that
// is a folder, and Save Script under a file size limit, into a folder target and through a file.)

#include "RealWindowFixture.h"
#include "TestRegistry.h"
#include "WriteFailures.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QRegularExpression>

#include <functional>
#include <optional>

using namespace kest;
using namespace kest::test;

namespace {

// The ways a save can meet a fault, each set up on the program folder.
enum class Fault { FileSizeLimit, FullFileSystem, UnwritableFolder, FolderThroughAFile };

// The fault set up while alive; `target` is where the command will try to write `fileName`.
class FaultyFolder {
public:
    FaultyFolder(Fault fault, const QString &fileName, const QByteArray &earlier) : fault_(fault)
    {
        if (!scratch_.isValid()) {
            problem_ = QStringLiteral("no temporary folder");
            return;
        }
        folder_ = scratch_.filePath(QStringLiteral("program"));
        QDir().mkdir(folder_);
        if (fault == Fault::FullFileSystem) {
            disk_.emplace(folder_, 64);
            if (!disk_->mounted()) {
                skip_ = QStringLiteral("cannot mount a small tmpfs here: ") + disk_->error();
                return;
            }
        }
        earlierFile_ = folder_ + QLatin1Char('/') + fileName;
        if (!writeBytes(earlierFile_, earlier)) {
            problem_ = QStringLiteral("cannot write the earlier file");
            return;
        }
        if (fault == Fault::FolderThroughAFile) {
            // The program folder lies "inside" the earlier file, which must stay as it was.
            programFolder_ = earlierFile_ + QStringLiteral("/sub");
        } else {
            programFolder_ = folder_;
        }
        if (fault == Fault::UnwritableFolder) {
            locked_.emplace(folder_);
            if (!locked_->done())
                skip_ = QStringLiteral("cannot make the folder unwritable here: ") + locked_->error();
        }
    }

    // Runs `save` under the fault (a file size limit lasts only for that call).
    bool run(const std::function<void()> &save)
    {
        std::optional<FileSizeLimit> limit;
        if (fault_ == Fault::FileSizeLimit && !limit.emplace(64 * 1024).active())
            return false;
        save();
        return true;
    }

    QString problem() const { return problem_; }
    QString skip() const { return skip_; }
    QString programFolder() const { return programFolder_; }
    QString earlierFile() const { return earlierFile_; }
    QString folder() const { return folder_; }

private:
    Fault fault_;
    QTemporaryDir scratch_;
    QString folder_, programFolder_, earlierFile_, problem_, skip_;
    std::optional<SmallFileSystem> disk_;
    std::optional<UnwritableFolder> locked_;
};

void addFaultRows()
{
    QTest::addColumn<Fault>("fault");
    QTest::newRow("full disk (file size limit)") << Fault::FileSizeLimit;
    QTest::newRow("full disk (64 KiB tmpfs)") << Fault::FullFileSystem;
    QTest::newRow("unwritable folder") << Fault::UnwritableFolder;
    QTest::newRow("folder through a file") << Fault::FolderThroughAFile;
}

const QByteArray EarlierCsv = "\"earlier\",\"export\"\r\n";
const QByteArray EarlierScript = "SELECT 'earlier';\r\n";

} // namespace

Q_DECLARE_METATYPE(Fault)

class WriteFaultWindowTests : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        f = std::make_unique<RealWindowFixture>();
        QVERIFY(f->start());
        // The database lies apart from the faulty program folder, so the query itself runs.
        f->window->Text1->setText(f->inFolder(QStringLiteral("test.db")));
    }
    void cleanup() { f.reset(); }

    void csvExportFaultKeepsTheEarlierFile_data() { addFaultRows(); }
    void csvExportFaultKeepsTheEarlierFile()
    {
        QFETCH(Fault, fault);
        FaultyFolder folder(fault, QStringLiteral("Kestrune-output.csv"), EarlierCsv);
        QVERIFY2(folder.problem().isEmpty(), qPrintable(folder.problem()));
        if (!folder.skip().isEmpty())
            QSKIP(qPrintable(folder.skip()));
        f->window->setProgramFolder(folder.programFolder());
        const QString target = folder.programFolder() + QStringLiteral("/Kestrune-output.csv");

        // About 25 bytes a line: far more than the 64 KiB that either full disk takes.
        f->type(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 25001) "
                               "SELECT i, 'row number ' || i FROM n"));
        f->desktop.queueAnswer(MessageAnswer::Yes);
        QVERIFY(folder.run([&] { f->click(f->window->Command12); }));

        compareStatus(f->status(), QStringLiteral(" 25,001 rows - Status code: 0 (Success)"));
        const auto &messages = f->desktop.messages();
        QCOMPARE(messages.size(), 2);
        QCOMPARE(messages[0].title, QStringLiteral("Demo"));
        QCOMPARE(messages[1].prompt, QStringLiteral("Failed to save:\r\n\r\n") + target);
        QCOMPARE(messages[1].title, QStringLiteral("Error"));
        QCOMPARE(messages[1].buttons, MessageButtons::Ok);
        QCOMPARE(messages[1].icon, MessageIcon::Critical);
        QCOMPARE(fileBytes(folder.earlierFile()), EarlierCsv);
        QCOMPARE(entriesOf(folder.folder()), QStringList{QStringLiteral("Kestrune-output.csv")});
        QCOMPARE(f->window->results().rowCount(), 25000); // the rows shown stay
    }

    void saveScriptFaultKeepsTheEarlierFile_data() { addFaultRows(); }
    void saveScriptFaultKeepsTheEarlierFile()
    {
        QFETCH(Fault, fault);
        FaultyFolder folder(fault, QStringLiteral("Kestrune-saved.sql"), EarlierScript);
        QVERIFY2(folder.problem().isEmpty(), qPrintable(folder.problem()));
        if (!folder.skip().isEmpty())
            QSKIP(qPrintable(folder.skip()));
        f->window->setProgramFolder(folder.programFolder());
        const QString target = folder.programFolder() + QStringLiteral("/Kestrune-saved.sql");

        // 100 KiB of script: more than either full disk takes.
        f->type(QStringLiteral("SELECT 'a line of the new script';\n").repeated(3000));
        QVERIFY(folder.run([&] { f->click(f->window->Command17); }));

        const auto &messages = f->desktop.messages();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].prompt, QStringLiteral("Failed to save SQL to ") + target);
        QCOMPARE(messages[0].title, QStringLiteral("Error"));
        QCOMPARE(messages[0].icon, MessageIcon::Critical);
        QCOMPARE(fileBytes(folder.earlierFile()), EarlierScript);
        QCOMPARE(entriesOf(folder.folder()), QStringList{QStringLiteral("Kestrune-saved.sql")});
    }

private:
    std::unique_ptr<RealWindowFixture> f;
};

KEST_REGISTER_TEST(WriteFaultWindowTests);
#include "tst_WriteFaultWindow.moc"
