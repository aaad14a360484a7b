// A crash in the middle of work: the real window (populate_driver) is killed with SIGKILL while
// Populate's CDs script is inside the engine, at moments counted in the engine's own progress. The database must then pass integrity_check and
// hold all of that script's rows or none of them; the Artists, filled by an earlier call, stay.

#include "DemoData.h"
#include "KestruneBinding.h"

#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <iostream>
#include <optional>
#include <string>

using namespace kest;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

KestruneBinding &library()
{
    static KestruneBinding binding{QStringLiteral(KEST_REAL_LIBRARY)};
    return binding;
}

// Each row of `sql` with its cells joined by '|'; a failure as one row no check expects.
QStringList rowsOf(const QString &path, const QString &sql)
{
    int32_t handle = 0;
    if (const int16_t open = library().sqlite3_open_v2(path.toUtf8(), handle, KEST_OPEN_READWRITE | KEST_OPEN_CREATE,
                                                       nullptr);
        open != 0)
        return {QStringLiteral("<open failed: %1>").arg(open)};
    KestTable table;
    KestText error;
    int16_t status = 0;
    library().sqlite_get_table(table, handle, sql.toUtf8(), error, status);
    QStringList rows;
    if (status != 0)
        rows << QStringLiteral("<status %1: %2>").arg(status).arg(toQString(error));
    else if (table)
        for (int32_t r = 1; r < table->row_count; ++r) {
            QStringList cells;
            for (int32_t c = 0; c < table->column_count; ++c)
                cells << QString::fromUtf8(KEST_CELL(table.get(), c, r));
            rows << cells.join(QLatin1Char('|'));
        }
    library().sqlite3_close(handle);
    return rows;
}

// The CDs table as Populate creates it, with a trigger that burns time before every insert, so
// that the CDs script runs for a second or two: long enough to be killed at a chosen moment.
QString prepareDatabase(const QTemporaryDir &folder)
{
    const QString path = folder.filePath(QStringLiteral("Albums.db"));
    const QStringList done = rowsOf(
        path, QString(CreateCDsTableSql) +
                  QStringLiteral("; CREATE TRIGGER slow BEFORE INSERT ON CDs BEGIN SELECT count(*) FROM "
                                 "(WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
                                 "SELECT i FROM n); END"));
    EXPECT_TRUE(done.isEmpty()) << done.join(QLatin1Char('\n')).toStdString();
    return path;
}

// populate_driver in a child process, its standard output read line by line.
class Driver {
public:
    // `unit` 0 runs Populate to its end; any other pauses the CDs script there (PopulateDriver.cpp).
    Driver(const QString &folder, long unit)
    {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(fds[1], STDOUT_FILENO);
            close(fds[0]);
            close(fds[1]);
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            const QByteArray folderArg = folder.toLocal8Bit();
            const std::string unitArg = std::to_string(unit);
            if (unit == 0)
                execl(KEST_POPULATE_DRIVER, KEST_POPULATE_DRIVER, folderArg.constData(), "Albums.db",
                      static_cast<char *>(nullptr));
            else
                execl(KEST_POPULATE_DRIVER, KEST_POPULATE_DRIVER, folderArg.constData(), "Albums.db",
                      unitArg.c_str(), static_cast<char *>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        out_ = fds[0];
    }
    ~Driver()
    {
        if (pid_ > 0 && !reaped_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0)
            close(out_);
    }
    Driver(const Driver &) = delete;
    Driver &operator=(const Driver &) = delete;

    bool started() const { return pid_ > 0 && out_ >= 0; }

    // The next line that starts with `prefix`, or nothing by the deadline or the end of output.
    std::optional<std::string> lineStartingWith(const std::string &prefix, Clock::duration patience)
    {
        const auto deadline = Clock::now() + patience;
        for (;;) {
            for (std::size_t end; (end = buffer_.find('\n')) != std::string::npos;) {
                std::string line = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                if (line.starts_with(prefix))
                    return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left <= 0ms)
                return std::nullopt;
            pollfd p{out_, POLLIN, 0};
            if (poll(&p, 1, int(left.count())) <= 0)
                continue;
            char chunk[4096];
            const ssize_t got = read(out_, chunk, sizeof chunk);
            if (got <= 0)
                return std::nullopt;
            buffer_.append(chunk, std::size_t(got));
        }
    }

    // Kills the driver and says whether SIGKILL is what ended it.
    bool killNow()
    {
        kill(pid_, SIGKILL);
        int status = 0;
        reaped_ = waitpid(pid_, &status, 0) == pid_;
        return reaped_ && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    }

    // Waits for a normal end and gives its exit status (-1 for anything else).
    int exitStatus()
    {
        int status = 0;
        reaped_ = waitpid(pid_, &status, 0) == pid_;
        return reaped_ && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    bool reaped_ = false;
    std::string buffer_;
};

const QString CountCDs = QStringLiteral("SELECT count(*) FROM CDs");
const QString CountArtists = QStringLiteral("SELECT count(*) FROM Artists");
const QString IntegrityCheck = QStringLiteral("PRAGMA integrity_check");
const QString AllCDs = QString::number(DemoCDCount);

} // namespace

TEST(KilledDuringPopulate, TheDatabaseHoldsAllOfTheCDsScriptOrNoneOfIt)
{
    // A run to its end first: it fills every row, and its length in units places the kills.
    long units = 0;
    {
        QTemporaryDir folder;
        const QString path = prepareDatabase(folder);
        Driver driver(folder.path(), 0);
        ASSERT_TRUE(driver.started());
        const std::optional<std::string> counted = driver.lineStartingWith("cds-units ", 120s);
        ASSERT_TRUE(counted);
        units = std::stol(counted->substr(10));
        const std::optional<std::string> done = driver.lineStartingWith("populate-done", 10s);
        ASSERT_TRUE(done);
        EXPECT_TRUE(done->starts_with("populate-done Successfully created tables")) << *done;
        EXPECT_EQ(driver.exitStatus(), 0);
        EXPECT_EQ(rowsOf(path, IntegrityCheck), QStringList{QStringLiteral("ok")});
        EXPECT_EQ(rowsOf(path, CountCDs), QStringList{AllCDs});
    }
    std::cout << "[ killed   ] the CDs script took " << units << " units of 1000 progress callbacks\n";
    ASSERT_GE(units, 20) << "too short to be killed at several moments inside it";

    // Kills from the first burning insert to the last one, just before the COMMIT.
    for (const long unit : {1L, units / 4, units / 2, 3 * units / 4, units - 1}) {
        SCOPED_TRACE("kill at unit " + std::to_string(unit));
        QTemporaryDir folder;
        const QString path = prepareDatabase(folder);
        Driver driver(folder.path(), unit);
        ASSERT_TRUE(driver.started());
        ASSERT_TRUE(driver.lineStartingWith("paused-at " + std::to_string(unit), 120s));
        ASSERT_TRUE(driver.killNow());
        const bool hotJournal = QFile::exists(path + QStringLiteral("-journal"));

        // The first connection after the crash rolls back what the journal holds.
        const QStringList integrity = rowsOf(path, IntegrityCheck);
        const QStringList cds = rowsOf(path, CountCDs);
        std::cout << "[ killed   ] at unit " << unit << " of " << units << ": "
                  << (hotJournal ? "journal left, " : "no journal, ") << "integrity "
                  << integrity.join(QLatin1Char(' ')).toStdString() << ", CDs rows "
                  << cds.join(QLatin1Char(' ')).toStdString() << "\n";
        EXPECT_EQ(integrity, QStringList{QStringLiteral("ok")});
        ASSERT_EQ(cds.size(), 1);
        EXPECT_TRUE(cds[0] == QStringLiteral("0") || cds[0] == AllCDs) << cds[0].toStdString();
        // The Artists script had committed before the CDs step started.
        EXPECT_EQ(rowsOf(path, CountArtists), QStringList{QString::number(DemoArtistCount)});
        // Past the first insert the transaction has written: the kill left a journal to roll back.
        if (unit > units / 8) {
            EXPECT_TRUE(hotJournal);
        }
    }
}
