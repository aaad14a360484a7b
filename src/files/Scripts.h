#pragma once
// Loading and saving SQL scripts.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

namespace kest {

// Why a script file gave no text.
enum class ScriptFault {
    None,       // read whole; its text may still be empty (a missing file, only comments)
    Folder,     // a folder, not a file
    NotAFile,   // a device, a pipe or a socket: it may never end, or keep its reader waiting
    CannotOpen, // it is there but cannot be opened (no read permission); `reason` says why
    TooBig,     // reading it would take more memory than it is granted
    NotText,    // it holds a NUL byte, which no script has: it is not text
    ReadFailed, // a read failed part way
};

struct ScriptText {
    QByteArray utf8;
    ScriptFault fault = ScriptFault::None;
    QString reason; // the system's words for CannotOpen
    qint64 size = 0; // the file's size as the file system gives it
};

// Asked before memory is taken to hold a script while it is read: true grants `bytes` more.
// The file's size twice over is asked for before it is read; whatever more a stage will hold
// (the CR LFs of short lines, a long line waiting for its end) before that stage takes it.
using MemoryGrant = std::function<bool(qint64 bytes)>;

// The statements of the script file at `path`, for the query window, as UTF-8: every line
// trimmed of blanks at both ends (the space character only; tabs stay), blank lines and REM
// comments ("REM" alone or "REM " at the start, in any case) dropped, each kept line followed
// by CR LF. Lines end at CR, LF or CR LF, so files from any platform load line by line.
//
// The file's encoding is what people's tools write:
//  - a byte-order mark says UTF-8 (a damaged sequence then reads as U+FFFD), UTF-16 LE or BE;
//  - without one, a file whose first 4096 bytes (all, when it is shorter) hold their NULs in
//    one place of the two-byte units is UTF-16: little endian when at least one unit in four
//    has its second byte NUL and fewer than an eighth as many have their first byte NUL, big
//    endian the other way round;
//  - otherwise each sequence of bytes that is valid UTF-8 is read as UTF-8, and each byte
//    that is not as its character in the 8-bit code page Windows-1252, so that one stray
//    byte never changes a letter that was right.
// A NUL byte (U+0000 in UTF-16) gives NotText, found as soon as it is read. Nothing that
// never ends or cannot be read whole is opened: a folder, a device, a pipe. A missing file
// gives empty text. On any fault the text is empty, so that no truncated script is run.
// `grant`, when given, is asked before memory is taken; it may be called on any thread.
ScriptText ReadFile(const QString &path, const MemoryGrant &grant = {});

// `text` with each line end (CR, LF or CR LF, as a script's lines end) made CR LF: the form of
// the files the program writes and of the text it puts on the clipboard.
QByteArray WithCrLf(QByteArrayView text);

// Writes `utf8` (its line ends, whatever they are, as CR LF) and one more CR LF to `path`.
// The previous file is replaced only when the whole write succeeded; on any failure it stays
// byte for byte as it was, and the result is false.
bool SaveFile(const QString &path, QByteArrayView utf8);

} // namespace kest
