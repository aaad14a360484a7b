#include "Scripts.h"

#include "SafeWrite.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <optional>
#include <utility>

namespace kest {

namespace {

constexpr qint64 ReadChunk = 1 << 20;
// The bytes whose NULs tell UTF-16 without a byte-order mark.
constexpr qsizetype EncodingSample = 4096;

// Windows-1252 from 0x80 to 0x9F; the five bytes it leaves unassigned read as the C1 controls
// at the same place, as Windows itself reads them. Every other byte is its Latin-1 character.
constexpr char16_t Windows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t windows1252(unsigned char b)
{
    return b >= 0x80 && b < 0xA0 ? Windows1252High[b - 0x80] : char16_t(b);
}

// What the reader holds, kept within what it was granted: each stage asks for what it will hold
// before it takes it, so a file too big for the room is refused rather than overrunning it.
class Room {
public:
    explicit Room(const MemoryGrant &grant) : grant(grant) {}
    // Asks for `bytes` more.
    bool ask(qint64 bytes)
    {
        if (bytes > 0 && !grant(bytes))
            return false;
        granted += std::max<qint64>(bytes, 0);
        return true;
    }
    // Whether `bytes` may be held at once, asking for what they pass the grant by.
    bool holds(qint64 bytes) { return bytes <= granted || ask(bytes - granted); }

private:
    const MemoryGrant &grant;
    qint64 granted = 0;
};

// The length of the UTF-8 sequence that starts at `p`, or 0 when none does. Valid is what Qt
// finds valid (RFC 3629: no overlong form, no surrogate, nothing past U+10FFFF), the same test
// that tells a file with no stray byte at once.
int utf8SequenceAt(const unsigned char *p, const unsigned char *end)
{
    if (*p < 0x80)
        return 1;
    const int length = *p >= 0xF0 ? 4 : *p >= 0xE0 ? 3 : 2; // as the first byte says, if it is one
    return end - p >= length && QByteArrayView(p, length).isValidUtf8() ? length : 0;
}

// Calls `valid(from, to)` for each run of valid UTF-8 and `stray(byte)` for each byte between.
template <typename Valid, typename Stray> void walkUtf8(QByteArrayView bytes, Valid valid, Stray stray)
{
    const auto *const begin = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *const end = begin + bytes.size();
    const unsigned char *run = begin;
    for (const unsigned char *at = begin; at < end;) {
        if (const int length = utf8SequenceAt(at, end)) {
            at += length;
            continue;
        }
        valid(run, at);
        stray(*at);
        run = ++at;
    }
    valid(run, end);
}

qsizetype utf8Length(char16_t c)
{
    return c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
}

// `bytes` as UTF-8: what is valid UTF-8 as it is, every other byte as its Windows-1252 letter.
std::optional<QByteArray> strayBytesAsWindows1252(QByteArray bytes, Room &room)
{
    if (QByteArrayView(bytes).isValidUtf8())
        return bytes; // kept in place, not copied
    qsizetype size = 0;
    walkUtf8(bytes, [&size](auto from, auto to) { size += to - from; },
             [&size](unsigned char b) { size += utf8Length(windows1252(b)); });
    if (!room.ask(2 * (size - bytes.size()))) // this text, then its kept lines, grow by as much
        return std::nullopt;
    QByteArray text(size, Qt::Uninitialized);
    char *out = text.data();
    walkUtf8(
        bytes,
        [&out](auto from, auto to) {
            std::memcpy(out, from, std::size_t(to - from));
            out += to - from;
        },
        [&out](unsigned char b) {
            const char16_t c = windows1252(b);
            if (c < 0x800) {
                *out++ = char(0xC0 | c >> 6);
            } else {
                *out++ = char(0xE0 | c >> 12);
                *out++ = char(0x80 | (c >> 6 & 0x3F));
            }
            *out++ = char(0x80 | (c & 0x3F));
        });
    return text;
}

// UTF-16 told by where its NULs fall; no encoding when the bytes do not look like it.
std::optional<QStringConverter::Encoding> utf16ByItsNuls(QByteArrayView sample)
{
    qsizetype units = sample.size() / 2, firstNul = 0, secondNul = 0;
    for (qsizetype i = 0; i < units; ++i) {
        firstNul += sample[2 * i] == 0;
        secondNul += sample[2 * i + 1] == 0;
    }
    const auto oneSided = [units](qsizetype here, qsizetype there) {
        return here > 0 && here * 4 >= units && there * 8 < here;
    };
    if (oneSided(secondNul, firstNul))
        return QStringConverter::Utf16LE;
    if (oneSided(firstNul, secondNul))
        return QStringConverter::Utf16BE;
    return std::nullopt;
}

// The file's encoding and where its text starts, from its first bytes.
struct Encoding {
    std::optional<QStringConverter::Encoding> utf16; // none: UTF-8, stray bytes Windows-1252
    qsizetype skip = 0;                              // the byte-order mark
    bool markedUtf8 = false;
};

Encoding encodingOf(QByteArrayView start)
{
    if (start.startsWith("\xEF\xBB\xBF"))
        return {std::nullopt, 3, true};
    if (start.startsWith("\xFF\xFE"))
        return {QStringConverter::Utf16LE, 2};
    if (start.startsWith("\xFE\xFF"))
        return {QStringConverter::Utf16BE, 2};
    return {utf16ByItsNuls(start), 0};
}

// Calls `line` with each line of `text`, its line end (CR, LF or CR LF) left out; the last
// line needs no line end. memchr reads a hundred megabytes in milliseconds, byte by byte takes a
// good part of a second: the next CR and the next LF are each looked for only once passed.
template <typename Line> void forEachLine(QByteArrayView text, Line line)
{
    const char *const begin = text.data(), *const end = begin + text.size();
    const auto find = [end](const char *from, char byte) {
        const void *found = std::memchr(from, byte, std::size_t(end - from));
        return found ? static_cast<const char *>(found) : end;
    };
    const char *nextCr = find(begin, '\r'), *nextLf = find(begin, '\n');
    for (const char *at = begin;;) {
        if (nextCr < at)
            nextCr = find(at, '\r');
        if (nextLf < at)
            nextLf = find(at, '\n');
        const char *lineEnd = std::min(nextCr, nextLf);
        line(QByteArrayView(at, lineEnd));
        if (lineEnd == end)
            return;
        at = lineEnd + (lineEnd == nextCr && lineEnd + 1 == nextLf && nextLf != end ? 2 : 1);
    }
}

bool isRemComment(QByteArrayView line)
{
    // Case-insensitive on ASCII only; no other character upper-cases to R, E or M.
    if (line.size() < 3 || qstrnicmp(line.data(), "REM", 3) != 0)
        return false;
    return line.size() == 3 || line.at(3) == ' ';
}

// The trimmed line, or nothing when it is blank or a REM comment. A byte-order mark at the start
// of a line other than the first stays, as U+FEFF: dropping it would turn "<BOM>REM x" into a REM
// line after the filtering had already passed it.
std::optional<QByteArrayView> keptLine(QByteArrayView line)
{
    const auto notBlank = [](char c) { return c != ' '; };
    const auto first = std::find_if(line.begin(), line.end(), notBlank);
    const auto last = std::find_if(line.rbegin(), line.rend(), notBlank).base();
    if (first >= last || isRemComment(QByteArrayView(first, last)))
        return std::nullopt;
    return QByteArrayView(first, last);
}

// `text` with room for `more` bytes: exactly, or some megabytes ahead. Reserving grows a text in
// place, where appending past its capacity copies it and holds both copies at once.
QByteArray &makeRoom(QByteArray &text, qsizetype more, bool exactly)
{
    if (text.capacity() - text.size() < more)
        text.reserve(text.size() + (exactly ? more : std::max(more, 16 * ReadChunk)));
    return text;
}

// The statements of UTF-8 text given piece by piece. A line that runs past its piece waits
// for the rest; how its line end pairs (CR, LF) does not matter, as blank lines are dropped.
class Statements {
public:
    explicit Statements(Room &room) : room(room) {}
    // `held` is what the reader holds besides the statements: the file's bytes, this piece.
    bool add(QByteArrayView piece, bool last, qint64 held)
    {
        QByteArrayView text = piece;
        if (!waiting.isEmpty()) {
            if (!room.holds(held + lines.size() + waiting.size() + piece.size()))
                return false;
            text = makeRoom(waiting, piece.size(), false).append(piece);
        }
        qsizetype whole = text.size();
        if (!last) {
            const auto *const lf = static_cast<const char *>(memrchr(text.data(), '\n', std::size_t(text.size())));
            const auto *const cr = static_cast<const char *>(memrchr(text.data(), '\r', std::size_t(text.size())));
            whole = std::max(lf ? lf - text.data() + 1 : 0, cr ? cr - text.data() + 1 : 0);
        }
        qsizetype size = 0; // counted first, so that the room is asked for what is taken
        forEachLine(text.first(whole), [&size](QByteArrayView line) {
            if (const auto kept = keptLine(line))
                size += kept->size() + 2;
        });
        if (!room.holds(held + lines.size() + waiting.size() + size))
            return false;
        makeRoom(lines, size, last);
        if (whole > 0) {
            forEachLine(text.first(whole), [this](QByteArrayView line) {
                if (const auto kept = keptLine(line))
                    lines.append(*kept).append("\r\n", 2);
            });
        }
        if (whole == text.size())
            waiting.clear();
        else if (whole > 0 || waiting.isEmpty())
            waiting = text.sliced(whole).toByteArray(); // at most a piece: the line ended in it
        return true;
    }
    QByteArray lines;

private:
    Room &room;
    QByteArray waiting;
};

constexpr qsizetype Piece = 1 << 20;

// Where a piece of UTF-8 from `from` may end: after an ASCII byte, which ends any sequence
// before it and starts none, so that each piece decodes as it would within the whole.
qsizetype utf8PieceEnd(QByteArrayView bytes, qsizetype from)
{
    if (bytes.size() - from <= Piece)
        return bytes.size();
    for (qsizetype at = from + Piece; at > from; --at)
        if (uchar(bytes[at - 1]) < 0x80)
            return at;
    for (qsizetype at = from + Piece; at < bytes.size(); ++at)
        if (uchar(bytes[at]) < 0x80)
            return at + 1;
    return bytes.size();
}

// How much of `bytes` decodes as whole UTF-16 units, no surrogate pair cut in two, and an odd
// byte kept with the unit before it (alone, Qt's decoder drops it rather than reading U+FFFD).
qsizetype utf16Whole(QByteArrayView bytes, QStringConverter::Encoding encoding)
{
    const qsizetype whole = (bytes.size() & ~qsizetype(1)) - (bytes.size() & 1 ? 2 : 0);
    if (whole <= 0)
        return 0;
    const bool le = encoding == QStringConverter::Utf16LE;
    const char16_t unit = char16_t(uchar(bytes[whole - (le ? 1 : 2)]) << 8 | uchar(bytes[whole - (le ? 2 : 1)]));
    return QChar::isHighSurrogate(unit) ? whole - 2 : whole;
}

using Flag = QStringDecoder::Flag; // a second byte-order mark after the file's own is text, U+FEFF

// The rest of a UTF-16 file, read and decoded in pieces, none kept once its lines are.
ScriptFault readUtf16(QFile &file, QByteArray bytes, const Encoding &encoding, Statements &statements)
{
    QStringDecoder decoder(*encoding.utf16, Flag::Stateless | Flag::ConvertInitialBom);
    bytes.remove(0, encoding.skip);
    for (bool end = false; !end;) {
        const qsizetype had = bytes.size();
        bytes.resize(had + Piece);
        const qint64 got = file.read(bytes.data() + had, Piece);
        if (got < 0)
            return ScriptFault::ReadFailed;
        bytes.resize(had + got);
        end = got == 0;
        const qsizetype whole = end ? bytes.size() : utf16Whole(bytes, *encoding.utf16);
        const QString text = decoder.decode(QByteArrayView(bytes).first(whole));
        if (text.contains(QChar::Null))
            return ScriptFault::NotText;
        const QByteArray utf8 = text.toUtf8();
        if (!statements.add(utf8, end, bytes.capacity() + text.size() * 2 + utf8.size()))
            return ScriptFault::TooBig;
        bytes = QByteArrayView(bytes).sliced(whole).toByteArray();
    }
    return ScriptFault::None;
}

// The file's bytes as UTF-8, then their statements.
ScriptFault keepStatements(QByteArray bytes, const Encoding &encoding, Room &room, Statements &statements)
{
    bytes.remove(0, encoding.skip); // in place, not copied
    if (encoding.markedUtf8 && !QByteArrayView(bytes).isValidUtf8()) {
        // Decoded a piece at a time beside the file's bytes, never the whole as UTF-16.
        QStringDecoder decoder(QStringConverter::Utf8, Flag::Stateless | Flag::ConvertInitialBom);
        for (qsizetype at = 0;;) {
            const qsizetype end = utf8PieceEnd(bytes, at);
            const QString text = decoder.decode(QByteArrayView(bytes).sliced(at, end - at));
            const QByteArray utf8 = text.toUtf8();
            if (!statements.add(utf8, end == bytes.size(), bytes.size() + text.size() * 2 + utf8.size()))
                return ScriptFault::TooBig;
            if (end == bytes.size())
                return ScriptFault::None;
            at = end;
        }
    }
    std::optional<QByteArray> text = strayBytesAsWindows1252(std::move(bytes), room);
    if (!text || !statements.add(*text, true, text->size()))
        return ScriptFault::TooBig;
    return ScriptFault::None;
}

// The file's first bytes, until they tell its encoding, and then, unless it is UTF-16, every
// byte until its end; a file that is not UTF-16 is read no further than its first NUL.
ScriptFault readAll(QFile &file, qint64 size, Room &room, QByteArray &bytes, Encoding &encoding)
{
    bytes.reserve(std::min<qsizetype>(qsizetype(size), EncodingSample) + 1);
    bool known = false;                 // whether the encoding is
    qsizetype checked = 0;              // bytes known to hold no NUL
    for (;;) {
        const qsizetype had = bytes.size();
        qsizetype space = std::min<qsizetype>(bytes.capacity() - had, ReadChunk);
        if (space == 0) {
            // More than the file system said: a file that grows, or one it gives no size.
            const qint64 more = std::max(ReadChunk, qint64(had / 2));
            if (!room.ask(2 * more))
                return ScriptFault::TooBig;
            bytes.reserve(had + qsizetype(more));
            space = ReadChunk;
        }
        bytes.resize(had + space);
        const qint64 got = file.read(bytes.data() + had, space);
        if (got < 0)
            return ScriptFault::ReadFailed;
        bytes.resize(had + got);
        if (!known && (got == 0 || bytes.size() >= EncodingSample)) {
            encoding = encodingOf(QByteArrayView(bytes).first(std::min(bytes.size(), EncodingSample)));
            known = true;
            if (encoding.utf16)
                return ScriptFault::None;
            bytes.reserve(qsizetype(size) + 1); // the last read finds the end without growing the text
        }
        if (known && !encoding.utf16) {
            if (std::memchr(bytes.constData() + checked, 0, std::size_t(bytes.size() - checked)))
                return ScriptFault::NotText;
            checked = bytes.size();
        }
        if (got == 0)
            return ScriptFault::None;
    }
}

ScriptText readScript(const QString &path, const MemoryGrant &grant)
{
    ScriptText result;
    if (path.isEmpty())
        return result;
    // Opened without waiting (a pipe's open waits for a writer) and then looked at, so that
    // what is read is what was looked at: a device such as /dev/zero never ends.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENXIO) { // a socket
            result.fault = ScriptFault::NotAFile;
        } else if (errno != ENOENT) {
            result.fault = ScriptFault::CannotOpen;
            result.reason = qt_error_string(errno);
        }
        return result;
    }
    QFile file;
    struct stat info {};
    if (!file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFile::AutoCloseHandle)) {
        ::close(fd);
        result.fault = ScriptFault::ReadFailed;
        return result;
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        result.fault = S_ISDIR(info.st_mode) ? ScriptFault::Folder : ScriptFault::NotAFile;
        return result;
    }
    result.size = info.st_size;
    Room room(grant);
    if (!room.ask(2 * result.size)) { // the file's bytes, then its kept lines
        result.fault = ScriptFault::TooBig;
        return result;
    }
    // Read as any file: the flag was only for the open.
    if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        result.fault = ScriptFault::ReadFailed;
        return result;
    }
    QByteArray bytes;
    Encoding encoding;
    Statements statements(room);
    result.fault = readAll(file, result.size, room, bytes, encoding);
    if (result.fault == ScriptFault::None && encoding.utf16)
        result.fault = readUtf16(file, std::move(bytes), encoding, statements);
    else if (result.fault == ScriptFault::None)
        result.fault = keepStatements(std::move(bytes), encoding, room, statements);
    if (result.fault == ScriptFault::None)
        result.utf8 = std::move(statements.lines);
    return result;
}

} // namespace

ScriptText ReadFile(const QString &path, const MemoryGrant &grant)
{
    try {
        return readScript(path, grant ? grant : [](qint64) { return true; });
    } catch (const std::bad_alloc &) {
        // The system refused what the grant allowed.
        ScriptText refused;
        refused.fault = ScriptFault::TooBig;
        refused.size = QFileInfo(path).size();
        return refused;
    }
}

QByteArray WithCrLf(QByteArrayView text)
{
    qsizetype lines = 0;
    forEachLine(text, [&lines](QByteArrayView) { ++lines; });
    QByteArray result;
    result.reserve(text.size() + lines);
    bool first = true;
    forEachLine(text, [&](QByteArrayView line) {
        if (!std::exchange(first, false))
            result.append("\r\n", 2);
        result.append(line);
    });
    return result;
}

bool SaveFile(const QString &path, QByteArrayView utf8)
{
    return WriteFileSafely(path, [utf8](QIODevice &out) {
        bool written = true;
        forEachLine(utf8, [&](QByteArrayView line) {
            written = written && out.write(line.data(), line.size()) == line.size() && out.write("\r\n", 2) == 2;
        });
        return written;
    });
}

} // namespace kest
