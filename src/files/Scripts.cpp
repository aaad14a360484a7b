#include "Scripts.h"

#include "SafeWrite.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <cstring>

namespace kest {

namespace {

constexpr qint64 ReadChunk = 1 << 20;

// Windows-1252 from 0x80 to 0x9F; the five bytes it leaves unassigned read as the C1 controls
// at the same place, as Windows itself reads them. Every other byte is its Latin-1 character.
constexpr char16_t Windows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QByteArray fromWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = b >= 0x80 && b < 0xA0 ? Windows1252High[b - 0x80] : char16_t(b);
    }
    return text.toUtf8();
}

// Decodes all of `bytes`; a second byte-order mark after the file's own is text, U+FEFF.
QByteArray decoded(QStringConverter::Encoding encoding, QByteArrayView bytes)
{
    QStringDecoder decoder(encoding, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return QString(decoder.decode(bytes)).toUtf8();
}

// The whole file as UTF-8, after its byte-order mark. A valid UTF-8 file is kept as it is.
QByteArray asUtf8(QByteArray bytes)
{
    const QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF")) {
        // Marked as UTF-8: a damaged sequence reads as the replacement character.
        if (!view.sliced(3).isValidUtf8())
            return decoded(QStringConverter::Utf8, view.sliced(3));
        bytes.remove(0, 3); // in place, not copied
        return bytes;
    }
    if (view.startsWith("\xFF\xFE"))
        return decoded(QStringConverter::Utf16LE, view.sliced(2));
    if (view.startsWith("\xFE\xFF"))
        return decoded(QStringConverter::Utf16BE, view.sliced(2));
    if (view.isValidUtf8())
        return bytes;
    return fromWindows1252(view);
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
    const char *const begin = text.data(), *const end = begin + text.size();
    // memchr reads a hundred megabytes in milliseconds, byte by byte takes a good part of a
    // second: the next CR and the next LF are each looked for only once they have been passed.
    const auto find = [end](const char *from, char byte) {
        const void *found = std::memchr(from, byte, std::size_t(end - from));
        return found ? static_cast<const char *>(found) : end;
    };
    qsizetype lines = 0;
    for (const char *lf = begin; (lf = find(lf, '\n')) != end; ++lf)
        ++lines;
    QByteArray result;
    // Room for a CR LF at every line end, so that the text is never copied while it grows.
    result.reserve(text.size() + lines + 2);
    const char *nextCr = find(begin, '\r'), *nextLf = find(begin, '\n');
    for (const char *at = begin;;) {
        if (nextCr < at)
            nextCr = find(at, '\r');
        if (nextLf < at)
            nextLf = find(at, '\n');
        const char *lineEnd = std::min(nextCr, nextLf);
        keepLine(QByteArrayView(at, lineEnd), result); // the last line needs no line end
        if (lineEnd == end)
            break;
        at = lineEnd + (lineEnd == nextCr && lineEnd + 1 == nextLf && nextLf != end ? 2 : 1);
    }
    return result;
}

// Every byte of the file, or nothing when a read fails.
std::optional<QByteArray> readAll(QFile &file)
{
    QByteArray bytes;
    bytes.reserve(std::max<qint64>(file.size(), 0) + 1);
    for (;;) {
        const qsizetype had = bytes.size();
        const qsizetype room = bytes.capacity() - had; // all of a file whose size is known
        bytes.resize(had + (room > 0 ? room : qsizetype(ReadChunk)));
        const qint64 got = file.read(bytes.data() + had, bytes.size() - had);
        if (got < 0)
            return std::nullopt;
        bytes.resize(had + got);
        if (got == 0)
            return bytes;
    }
}

} // namespace

std::optional<QByteArray> ReadFile(const QString &path)
{
    if (path.isEmpty())
        return QByteArray();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return QByteArray();
    std::optional<QByteArray> bytes = readAll(file);
    if (!bytes)
        return std::nullopt;
    const QByteArray text = asUtf8(std::move(*bytes));
    bytes.reset(); // the file's bytes go before the kept lines come
    return keptLines(text);
}

bool SaveFile(const QString &path, QByteArrayView utf8)
{
    // The query window's text ends its lines with CR LF already and is written as it is.
    const auto loneLineEnd = [&utf8](qsizetype i) {
        const char c = utf8[i];
        return (c == '\r' && (i + 1 == utf8.size() || utf8[i + 1] != '\n')) ||
               (c == '\n' && (i == 0 || utf8[i - 1] != '\r'));
    };
    qsizetype first = 0;
    while (first < utf8.size() && !loneLineEnd(first))
        ++first;
    QByteArray normalised;
    if (first < utf8.size()) {
        normalised.reserve(utf8.size() + utf8.size() / 8);
        for (qsizetype i = 0; i < utf8.size(); ++i) {
            const char c = utf8[i];
            if (c == '\r' || c == '\n') {
                normalised.append("\r\n", 2);
                if (c == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n')
                    ++i;
            } else {
                normalised.append(c);
            }
        }
        utf8 = normalised;
    }
    return WriteFileSafely(path, [utf8](QIODevice &out) {
        return out.write(utf8.data(), utf8.size()) == utf8.size() && out.write("\r\n", 2) == 2;
    });
}

} // namespace kest
