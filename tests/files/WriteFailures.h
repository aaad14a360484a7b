#pragma once
// Ways to make a write fail that hold even for root, who ignores permission bits.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QIODevice>
#include <QString>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

// While alive, no file of this process may grow beyond `bytes`: a write past it fails as on
// a full disk (EFBIG; the signal that would end the process is ignored meanwhile).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limited = previous_;
        limited.rlim_cur = bytes;
        active_ = setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    bool active() const { return active_; }

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
    bool active_ = false;
};

// A tmpfs of `kib` KiB mounted on `folder` while alive: a disk that fills up. Mounting needs
// CAP_SYS_ADMIN; without it a test skips rather than fakes the fault.
class SmallFileSystem {
public:
    SmallFileSystem(const QString &folder, int kib) : folder_(folder.toLocal8Bit())
    {
        const QByteArray options = "size=" + QByteArray::number(kib) + "k,mode=0777";
        mounted_ = mount("tmpfs", folder_.constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.constData()) == 0;
        error_ = mounted_ ? QString() : QString::fromLocal8Bit(std::strerror(errno));
    }
    ~SmallFileSystem()
    {
        if (mounted_)
            umount2(folder_.constData(), MNT_DETACH);
    }
    SmallFileSystem(const SmallFileSystem &) = delete;
    SmallFileSystem &operator=(const SmallFileSystem &) = delete;
    bool mounted() const { return mounted_; }
    QString error() const { return error_; }

private:
    QByteArray folder_;
    bool mounted_ = false;
    QString error_;
};

// Makes `folder` a place where no file can be created or renamed while alive: mode 0555 for an
// ordinary user, immutable (chattr +i) for root, who ignores permission bits.
class UnwritableFolder {
public:
    explicit UnwritableFolder(const QString &folder) : folder_(folder.toLocal8Bit())
    {
        const bool root = geteuid() == 0;
        done_ = root ? setImmutable(true) : chmod(folder_.constData(), 0555) == 0;
        error_ = done_ ? QString() : (root ? QStringLiteral("immutable: ") : QStringLiteral("mode 0555: ")) +
                                         QString::fromLocal8Bit(std::strerror(errno));
    }
    ~UnwritableFolder()
    {
        if (done_ && geteuid() == 0)
            setImmutable(false);
        else if (done_)
            chmod(folder_.constData(), 0755);
    }
    UnwritableFolder(const UnwritableFolder &) = delete;
    UnwritableFolder &operator=(const UnwritableFolder &) = delete;
    bool done() const { return done_; }
    QString error() const { return error_; }

private:
    bool setImmutable(bool on) const
    {
        const int fd = open(folder_.constData(), O_RDONLY | O_DIRECTORY);
        if (fd < 0)
            return false;
        int flags = 0;
        bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ok && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        const int saved = errno;
        close(fd);
        errno = saved;
        return ok;
    }

    QByteArray folder_;
    bool done_ = false;
    QString error_;
};

// A device that takes `capacity` bytes and then fails every write.
class FullDevice : public QIODevice {
public:
    explicit FullDevice(qint64 capacity) : capacity_(capacity) { open(QIODevice::WriteOnly); }
    QByteArray written;

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        if (written.size() + size > capacity_)
            return -1;
        written.append(data, size);
        return size;
    }

private:
    qint64 capacity_;
};

inline QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

// Names in `folder`, to show that a failed save leaves no temporary file behind.
inline QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}
