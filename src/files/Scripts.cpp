#include "Scripts.h"

#include "SafeWrite.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <QStringDecoder>

#include <algorithm>
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
std::optional<QByteArray> strayBytesAsWindows1252(QByteArray bytes, const MemoryGrant &grant)
{
    if (QByteArrayView(bytes).isValidUtf8())
        return bytes; // kept in place, not copied
    qsizetype size = 0;
    walkUtf8(bytes, [&size](auto from, auto to) { size += to - from; },
             [&size](unsigned char b) { size += utf8Length(windows1252(b)); });
    if (!grant(2 * (size - bytes.size()))) // this text, then its kept lines, grow by as much
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

// The whole file as UTF-8, after its byte-order mark; `fault` says why there is none.
std::optional<QByteArray> asUtf8(QByteArray bytes, const Encoding &encoding, const MemoryGrant &grant,
                                 ScriptFault &fault)
{
    using Flag = QStringDecoder::Flag; // a second byte-order mark after the file's own is text, U+FEFF
    if (encoding.utf16) {
        QStringDecoder decoder(*encoding.utf16, Flag::Stateless | Flag::ConvertInitialBom);
        QString text = decoder.decode(QByteArrayView(bytes).sliced(encoding.skip));
        bytes = QByteArray(); // the file's bytes go before the UTF-8 comes
        if (text.contains(QChar::Null)) {
            fault = ScriptFault::NotText;
            return std::nullopt;
        }
        return text.toUtf8();
    }
    bytes.remove(0, encoding.skip); // in place, not copied
    if (encoding.markedUtf8 && !QByteArrayView(bytes).isValidUtf8())
        return QString(QStringDecoder(QStringConverter::Utf8, Flag::Stateless | Flag::ConvertInitialBom).decode(bytes)).toUtf8();
    std::optional<QByteArray> text = strayBytesAsWindows1252(std::move(bytes), grant);
    if (!text)
        fault = ScriptFault::TooBig;
    return text;
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

// A byte-order mark at the start of a line other than the first stays, as U+FEFF: dropping it
// would turn "<BOM>REM x" into a REM line after the filtering had already passed it.
void keepLine(QByteArrayView line, QByteArray &result)
{
    const auto notBlank = [](char c) { return c != ' '; };
    const auto first = std::find_if(line.begin(), line.end(), notBlank);
    const auto last = std::find_if(line.rbegin(), line.rend(), notBlank).base();
    if (first >= last)
        return;
    const QByteArrayView trimmed(first, last);
    if (isRemComment(trimmed))
        return;
    result.append(trimmed);
    result.append("\r\n", 2);
}

QByteArray keptLines(QByteArrayView text)
{
    // Room for a CR LF at every line end (a lone CR or LF grows by one byte), so that the text is
    // never copied while it grows.
    qsizetype lines = 0;
    forEachLine(text, [&lines](QByteArrayView) { ++lines; });
    QByteArray result;
    result.reserve(text.size() + lines + 1);
    forEachLine(text, [&result](QByteArrayView line) { keepLine(line, result); });
    return result;
}

// Every byte of the file, read until its end; a file that is not UTF-16 is read no further
// than its first NUL.
ScriptFault readAll(QFile &file, qint64 size, const MemoryGrant &grant, QByteArray &bytes, Encoding &encoding)
{
    bytes.reserve(qsizetype(size) + 1); // the last read finds the end without growing the text
    bool known = false;                 // whether the encoding is
    qsizetype checked = 0;              // bytes known to hold no NUL
    for (;;) {
        const qsizetype had = bytes.size();
        qsizetype room = std::min<qsizetype>(bytes.capacity() - had, ReadChunk);
        if (room == 0) {
            // More than the file system said: a file that grows, or one it gives no size.
            const qint64 more = std::max(ReadChunk, qint64(had / 2));
            if (!grant(2 * more))
                return ScriptFault::TooBig;
            bytes.reserve(had + qsizetype(more));
            room = ReadChunk;
        }
        bytes.resize(had + room);
        const qint64 got = file.read(bytes.data() + had, room);
        if (got < 0)
            return ScriptFault::ReadFailed;
        bytes.resize(had + got);
        if (!known && (got == 0 || bytes.size() >= EncodingSample)) {
            encoding = encodingOf(QByteArrayView(bytes).first(std::min(bytes.size(), EncodingSample)));
            known = true;
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
    if (!grant(2 * result.size)) { // the file's bytes, then its kept lines
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
    result.fault = readAll(file, result.size, grant, bytes, encoding);
    file.close();
    if (result.fault != ScriptFault::None)
        return result;
    std::optional<QByteArray> text = asUtf8(std::move(bytes), encoding, grant, result.fault);
    if (!text)
        return result;
    result.utf8 = keptLines(*text);
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
