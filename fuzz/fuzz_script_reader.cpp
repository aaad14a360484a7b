// Feeds arbitrary bytes as a script file to kest::ReadFile: its text must keep the header's
// promises line by line and equal a plain model of its rules run over the whole file at once.
// With blank lines in front, a byte-order mark is no longer at the file's start.
//
// The first input byte decides where the rest sits: below 0x80 it is the whole file; from 0x80
// on, blank lines in front make it begin (byte & 0x7F) bytes before the reader's 64 KiB
// read boundary, so that line ends (a CR before it, its LF after it) meet that boundary.

#include "FuzzCheck.h"

#include "Scripts.h"

#include <QList>
#include <QStringBuilder>
#include <QStringDecoder>

#include <sys/mman.h>
#include <sys/uio.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr std::size_t kReadBlock = 64 * 1024;
// Blank lines of 256 bytes: any end of them is blank lines too, and the reader's lines stay
// short (a 64 KiB one would cost far more).
const QByteArray blankLines = QByteArray(255, ' ').append('\n').repeated(kReadBlock / 256);
const int scriptFile = memfd_create("script.sql", 0); // in memory, gone with the process
const QString scriptPath = QStringLiteral("/proc/self/fd/%1").arg(scriptFile);

FUZZ_NO_COVERAGE bool isRem(std::string_view line)
{
    return line.size() >= 3 && qstrnicmp(line.data(), 3, "REM", 3) == 0 && (line.size() == 3 || line[3] == ' ');
}

// The rules over the whole file at once, the encoding read by Qt's own decoders (ICU's
// Windows-1252); the blank lines put in front drop out.
FUZZ_NO_COVERAGE QString modelOf(QByteArray file, bool atFileStart)
{
    // A mark after the file's own (or one not at its start) is kept as U+FEFF.
    const auto decoded = [](auto encoding, QByteArrayView bytes) {
        using Flag = QStringDecoder::Flag;
        return QString(QStringDecoder(encoding, Flag::Stateless | Flag::ConvertInitialBom).decode(bytes));
    };
    QString whole;
    if (atFileStart && file.startsWith("\xEF\xBB\xBF"))
        whole = decoded(QStringDecoder::Utf8, file.sliced(3));
    else if (atFileStart && file.startsWith("\xFF\xFE"))
        whole = decoded(QStringDecoder::Utf16LE, file.sliced(2));
    else if (atFileStart && file.startsWith("\xFE\xFF"))
        whole = decoded(QStringDecoder::Utf16BE, file.sliced(2));
    else if (QByteArrayView(file).isValidUtf8())
        whole = decoded(QStringDecoder::Utf8, file);
    else
        whole = decoded("windows-1252", file);
    QString text;
    for (QString line : whole.replace(u"\r\n"_s, u"\n"_s).replace(u'\r', u'\n').split(u'\n')) {
        while (line.startsWith(u' '))
            line.remove(0, 1);
        while (line.endsWith(u' '))
            line.chop(1);
        if (!line.isEmpty() && !isRem(line.toUtf8().toStdString()))
            text += line + QLatin1StringView("\r\n");
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t fill = data[0] >= 0x80 ? kReadBlock - (data[0] & 0x7F) : 0;
    iovec parts[] = {{const_cast<char *>(blankLines.end() - fill), fill}, {const_cast<uint8_t *>(data + 1), size - 1}};
    FUZZ_CHECK(ftruncate(scriptFile, 0) == 0 && pwritev(scriptFile, parts, 2, 0) == ssize_t(fill + size - 1));

    const std::optional<QByteArray> read = kest::ReadFile(scriptPath);
    FUZZ_CHECK(read.has_value());
    using Flag = QStringDecoder::Flag; // a mark at the start of the text is a character too
    const QString text = QStringDecoder(QStringDecoder::Utf8, Flag::Stateless | Flag::ConvertInitialBom).decode(*read);
    for (QStringView rest(text); !rest.isEmpty(); rest = rest.sliced(rest.indexOf(u"\r\n") + 2)) {
        const QStringView line = rest.first(std::max<qsizetype>(rest.indexOf(u"\r\n"), 0));
        FUZZ_CHECK(!line.isEmpty() && !line.contains(u'\r') && !line.contains(u'\n')); // CR LF after each, none blank
        FUZZ_CHECK(line.front() != u' ' && line.back() != u' ' && !isRem(line.toUtf8().toStdString()));
    }
    // As UTF-8, as the reader gives it: a damaged UTF-16 file's lone surrogates become U+FFFD.
    FUZZ_CHECK(*read == modelOf(QByteArray(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1)), fill == 0).toUtf8());
    return 0;
}
