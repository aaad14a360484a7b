#pragma once
// A file for bytes that this process writes and may then save under a name; while they are
// written it has none. On Linux it is an unnamed file in its folder (O_TMPFILE), which saving
// links in under the name; elsewhere on Unix, or on a file system without unnamed files, a file
// made under a random name and unlinked at once, which saving copies. Nobody else can open it
// (and its mode is 0600), and its space goes back to the disk when it is closed or the process
// ends in any way (Exit, a crash, a kill). Only a kill in the microseconds between its making
// under a name and the unlink, or between linking it in and the rename, leaves a temporary
// (RemoveLeftBehind removes those).

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>

namespace kest {

class SpillFile {
public:
    // Where the file is made under a name before its unlink, when it cannot be made without one.
    static constexpr QLatin1StringView NamedFile{".kestrune-rows"};

    SpillFile() = default;
    ~SpillFile() { close(); }
    SpillFile(const SpillFile &) = delete;
    SpillFile &operator=(const SpillFile &) = delete;

    // Makes the file in `folder`; false, with error() set, when it cannot be made.
    bool open(const QString &folder);
    bool isOpen() const { return fd_ >= 0; }
    // Appends all `size` bytes, or returns false with error() set. The bytes start on their way
    // to the disk as the file grows, so that saving has little left to wait for.
    bool append(const char *data, std::size_t size);
    // Cuts the file back to its first `size` bytes.
    bool truncate(int64_t size);
    int64_t size() const { return size_; }
    // The errno of the last failure.
    int error() const { return error_; }
    // Saves the file as `path` the way WriteFileSafely saves one (PutInPlace): on the disk first,
    // then put in place of what is there, keeping the permissions of a file that was there; on
    // failure what was there stays. A copy (letting window messages run between blocks) when
    // the file cannot be linked in. The file stays open.
    bool saveAs(const QString &path, const std::function<void()> &letMessagesRun = {});
    // Closes the file, which takes it off the disk unless it was saved.
    void close();

private:
    int fd_ = -1;
    int64_t size_ = 0;
    int error_ = 0;
    bool linkable_ = false;
    unsigned newFileMode_ = 0600; // what the user's umask gives a file made now
    int64_t writebackStarted_ = 0;
};

} // namespace kest
