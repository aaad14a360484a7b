#include "SpillFile.h"

#include "SafeWrite.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <memory>

namespace kest {

namespace {

// The written bytes are sent to the disk in steps of this size; a step is waited for and
// dropped from the page cache two steps later, so that a file of gigabytes holds neither the
// page cache (a memory cgroup counts it as the program's) nor a long wait at saving.
constexpr int64_t WritebackStep = int64_t(8) << 20;
constexpr std::size_t CopyBlock = std::size_t(1) << 20;

} // namespace

#ifdef Q_OS_UNIX

bool SpillFile::open(const QString &folder)
{
    close();
    const QByteArray native = QFile::encodeName(folder);
#ifdef O_TMPFILE
    // No name, so nobody can reach it and the mode it is made with gives away the umask.
    fd_ = ::open(native.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    linkable_ = fd_ >= 0;
    struct stat made {};
    if (linkable_ && ::fstat(fd_, &made) == 0)
        newFileMode_ = made.st_mode & 0777;
#endif
    for (int attempt = 0; fd_ < 0 && attempt < 16; ++attempt) {
        const QByteArray name = TemporaryBeside(native + '/' + QByteArray(NamedFile.data(), NamedFile.size()));
        fd_ = ::open(name.constData(), O_CREAT | O_EXCL | O_NOFOLLOW | O_RDWR | O_CLOEXEC, 0600);
        if (fd_ >= 0)
            ::unlink(name.constData());
        else if (errno != EEXIST)
            break;
    }
    if (fd_ < 0 || ::fchmod(fd_, 0600) != 0) {
        error_ = errno;
        close();
        return false;
    }
    return true;
}

bool SpillFile::append(const char *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd_, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            error_ = written < 0 ? errno : ENOSPC;
            return false;
        }
        data += written;
        size -= std::size_t(written);
        size_ += written;
    }
#ifdef SYNC_FILE_RANGE_WRITE
    while (size_ - writebackStarted_ >= WritebackStep) {
        ::sync_file_range(fd_, writebackStarted_, WritebackStep, SYNC_FILE_RANGE_WRITE);
        const int64_t older = writebackStarted_ - 2 * WritebackStep;
        if (older >= 0) {
            ::sync_file_range(fd_, older, WritebackStep,
                              SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
            ::posix_fadvise(fd_, older, WritebackStep, POSIX_FADV_DONTNEED);
        }
        writebackStarted_ += WritebackStep;
    }
#endif
    return true;
}

bool SpillFile::truncate(int64_t size)
{
    if (::ftruncate(fd_, size) != 0 || ::lseek(fd_, size, SEEK_SET) != size) {
        error_ = errno;
        return false;
    }
    size_ = size;
    writebackStarted_ = std::min(writebackStarted_, size);
    return true;
}

bool SpillFile::saveAs(const QString &path, const std::function<void()> &letMessagesRun)
{
    if (fd_ < 0)
        return false;
    if (linkable_ && PutInPlace(fd_, {}, path, newFileMode_))
        return true;
    // Another file system, or a file that cannot be linked in: its bytes are copied.
    const auto buffer = std::make_unique_for_overwrite<char[]>(CopyBlock);
    return WriteFileSafely(path, [&](QIODevice &out) {
        for (int64_t at = 0; at < size_;) {
            const ssize_t got = ::pread(fd_, buffer.get(), CopyBlock, at);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0 || out.write(buffer.get(), got) != got)
                return false;
            at += got;
            if (letMessagesRun)
                letMessagesRun();
        }
        return true;
    });
}

void SpillFile::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    size_ = 0;
    writebackStarted_ = 0;
    linkable_ = false;
}

#else // Rows past memory are kept on disk on Unix only; elsewhere the file cannot be made.

bool SpillFile::open(const QString &)
{
    error_ = ENOSYS;
    return false;
}
bool SpillFile::append(const char *, std::size_t) { return false; }
bool SpillFile::truncate(int64_t) { return false; }
bool SpillFile::saveAs(const QString &, const std::function<void()> &) { return false; }
void SpillFile::close() {}

#endif

} // namespace kest
