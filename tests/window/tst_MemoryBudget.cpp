// A result bigger than the memory budget, through the real window over the real library: both
// paths end with their out-of-memory texts, the window lives on, Exec's rows so far are shown
// and exported, and the next query works. The budget is set for this process only, before the
// library is loaded, so the test does not depend on the machine's memory.

#include "WindowTest.h"

#include <fstream>
#include <unistd.h>

using namespace kest;
using namespace kest::test;

class MemoryBudgetTests : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        std::ifstream statm("/proc/self/statm");
        long long pages = 0, resident = 0;
        QVERIFY(statm >> pages >> resident);
        // About 250 MB of room for results once the library's headroom is taken off.
        const long long limit = resident * sysconf(_SC_PAGESIZE) + (320LL << 20);
        qputenv("KESTRUNE_MEMORY_LIMIT", QByteArray::number(limit));
    }

    void aResultPastTheBudgetEndsInOutOfMemoryAndTheWindowGoesOn()
    {
        Window f;
        QVERIFY(f.start());
        f.w->Text2->setPlainText(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000000) "
                              "SELECT i, printf('%.1000c', 'y') FROM n"));
        f.desktop.queueAnswer(MessageAnswer::Yes);
        f.click(f.w->Command12);
        static const QRegularExpression ended(
            QStringLiteral("^ ([\\d,]+) rows - Status code: 4 \\(\\[Out of memory after line: 50\\]\\) - "));
        const QRegularExpressionMatch m = ended.match(f.status());
        QVERIFY2(m.hasMatch(), qPrintable(f.status()));
        // The library counts the row that could not be stored; the rows before it are kept.
        const qint64 stored = QLocale().toLongLong(m.captured(1)) - 1;
        QVERIFY2(stored > 25000, qPrintable(f.status()));
        QCOMPARE(f.w->results().rowCount(), 25000);
        QCOMPARE(f.w->results().cellText(24999, 0), QStringLiteral("25000"));
        QFile csv(f.path(QStringLiteral("Kestrune-output.csv")));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        qint64 lines = 0;
        for (QByteArray chunk; !(chunk = csv.read(1 << 20)).isEmpty();)
            lines += chunk.count('\n');
        QCOMPARE(lines, stored);

        f.click(f.w->Command1);
        QCOMPARE(f.untimedStatus(), QStringLiteral("0 rows - Status code: 7 (out of memory)"));
        f.w->Text2->setPlainText(QStringLiteral("SELECT 6 * 7"));
        f.click(f.w->Command12);
        QCOMPARE(f.untimedStatus(), QStringLiteral(" 1 rows - Status code: 0 (Success)"));
        QCOMPARE(f.w->results().cellText(0, 0), QStringLiteral("42"));
    }
};

KEST_TEST_CLASS(MemoryBudgetTests);
#include "tst_MemoryBudget.moc"
