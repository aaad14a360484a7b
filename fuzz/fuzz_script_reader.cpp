// Feeds arbitrary bytes as a script file to kest::ReadFile: its text must keep the header's
// promises line by line and equal a plain model of its rules run over the whole file at once;
// a file the model finds not to be text (a NUL) must be refused as such, and nothing else.
//
// The first input byte decides where the rest sits: below 0x80 it is the whole file; from 0x80
// on, blank lines in front (bit 0x40: in UTF-16 LE) make it begin (byte & 0x3F) bytes before
// the end of the 4096 bytes whose NULs tell UTF-16 without a byte-order mark, so that a NUL
// past them, and the sample's edge, are met.

#include "FuzzCheck.h"

#include "Scripts.h"

#include <QList>
#include <QStringBuilder>
#include <QStringDecoder>

#include <sys/mman.h>
#include <sys/uio.h>
#include <unistd.h>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype kSample = 4096;
const QByteArray blankLines = QByteArray(63, ' ').append('\n').repeated(kSample / 64);
const QByteArray blankLinesUtf16 = QByteArray(" \0", 2).repeated(63).append("\n\0", 2).repeated(kSample / 128);
const int scriptFile = memfd_create("script.sql", 0); // in memory, gone with the process
const QString scriptPath = QStringLiteral("/proc/self/fd/%1").arg(scriptFile);

FUZZ_NO_COVERAGE bool isRem(std::string_view line)
{
    return line.size() >= 3 && qstrnicmp(line.data(), 3, "REM", 3) == 0 && (line.size() == 3 || line[3] == ' ');
}

FUZZ_NO_COVERAGE QString decoded(QStringConverter::Encoding encoding, QByteArrayView bytes)
{
    // A mark after the file's own is kept as U+FEFF.
    using Flag = QStringDecoder::Flag;
    return QStringDecoder(encoding, Flag::Stateless | Flag::ConvertInitialBom).decode(bytes);
}

// UTF-16 by the header's rule on NULs, counted here unit by unit from the other end.
FUZZ_NO_COVERAGE std::optional<QStringConverter::Encoding> utf16WithoutMark(QByteArrayView file)
{
    const QByteArrayView sample = file.first(std::min(file.size(), kSample));
    const qsizetype units = sample.size() / 2;
    qsizetype nulFirst = 0, nulSecond = 0;
    for (qsizetype u = units; u-- > 0;) {
        nulFirst += sample.at(2 * u) == '\0' ? 1 : 0;
        nulSecond += sample.at(2 * u + 1) == '\0' ? 1 : 0;
    }
    if (nulSecond != 0 && 4 * nulSecond >= units && 8 * nulFirst < nulSecond)
        return QStringConverter::Utf16LE;
    if (nulFirst != 0 && 4 * nulFirst >= units && 8 * nulSecond < nulFirst)
        return QStringConverter::Utf16BE;
    return std::nullopt;
}

// A byte at a time: the shortest run of bytes that Qt's own UTF-8 decoder turns into one
// character and back into the same bytes is a character; a byte that starts none is read by
// Qt's Windows-1252 decoder (ICU's).
FUZZ_NO_COVERAGE QString utf8OrWindows1252(QByteArrayView file)
{
    QString text;
    for (qsizetype at = 0; at < file.size();) {
        qsizetype length = 1;
        for (; length <= 4 && at + length <= file.size(); ++length) {
            const QByteArrayView bytes = file.sliced(at, length);
            const QString one = decoded(QStringConverter::Utf8, bytes); // U+FEFF is a character too
            if (one.toUcs4().size() == 1 && one.toUtf8() == bytes)
                break;
        }
        if (length > 4 || at + length > file.size())
            length = 1;
        const QByteArrayView bytes = file.sliced(at, length);
        text += length == 1 && bytes[0] < 0 ? QString(QStringDecoder("windows-1252").decode(bytes)) : decoded(QStringConverter::Utf8, bytes);
        at += length;
    }
    return text;
}

// The rules over the whole file at once; nothing when it is not text.
FUZZ_NO_COVERAGE std::optional<QString> modelOf(QByteArrayView file)
{
    QString whole;
    if (file.startsWith("\xEF\xBB\xBF"))
        whole = decoded(QStringConverter::Utf8, file.sliced(3));
    else if (file.startsWith("\xFF\xFE"))
        whole = decoded(QStringConverter::Utf16LE, file.sliced(2));
    else if (file.startsWith("\xFE\xFF"))
        whole = decoded(QStringConverter::Utf16BE, file.sliced(2));
    else if (const auto utf16 = utf16WithoutMark(file))
        whole = decoded(*utf16, file);
    else if (file.contains('\0'))
        return std::nullopt;
    else
        whole = utf8OrWindows1252(file);
    if (whole.contains(QChar::Null))
        return std::nullopt;
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
    const QByteArray &blanks = data[0] & 0x40 ? blankLinesUtf16 : blankLines;
    const std::size_t fill = data[0] >= 0x80 ? std::size_t(kSample - (data[0] & 0x3F)) : 0;
    iovec parts[] = {{const_cast<char *>(blanks.end() - fill), fill}, {const_cast<uint8_t *>(data + 1), size - 1}};
    FUZZ_CHECK(ftruncate(scriptFile, 0) == 0 && pwritev(scriptFile, parts, 2, 0) == ssize_t(fill + size - 1));
    const QByteArray file = QByteArray(blanks.end() - fill, qsizetype(fill))
                                .append(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    const kest::ScriptText read = kest::ReadFile(scriptPath);
    const std::optional<QString> model = modelOf(file);
    FUZZ_CHECK(read.fault == (model ? kest::ScriptFault::None : kest::ScriptFault::NotText));
    if (!model)
        return 0;
    using Flag = QStringDecoder::Flag; // a mark at the start of the text is a character too
    const QString text = QStringDecoder(QStringDecoder::Utf8, Flag::Stateless | Flag::ConvertInitialBom).decode(read.utf8);
    for (QStringView rest(text); !rest.isEmpty(); rest = rest.sliced(rest.indexOf(u"\r\n") + 2)) {
        const QStringView line = rest.first(std::max<qsizetype>(rest.indexOf(u"\r\n"), 0));
        FUZZ_CHECK(!line.isEmpty() && !line.contains(u'\r') && !line.contains(u'\n')); // CR LF after each, none blank
        FUZZ_CHECK(line.front() != u' ' && line.back() != u' ' && !isRem(line.toUtf8().toStdString()));
    }
    // As UTF-8, as the reader gives it: a damaged UTF-16 file's lone surrogates become U+FFFD.
    FUZZ_CHECK(read.utf8 == model->toUtf8());
    return 0;
}
