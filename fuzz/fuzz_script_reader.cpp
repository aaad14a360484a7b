// Feeds arbitrary bytes as a script file to kest::ReadFile: its text must keep the header's
// promises line by line and equal a plain model of its rules run over the whole file at once.
//
// The first input byte decides where the rest sits: below 0x80 it is the whole file; from 0x80
// on, blank lines in front make it begin (byte & 0x7F) bytes before the reader's 64 KiB
// read boundary, so that line ends (a CR before it, its LF after it) meet that boundary.

#include "FuzzCheck.h"

#include "Scripts.h"

#include <QList>
#include <QStringDecoder>

#include <sys/mman.h>
#include <sys/uio.h>
#include <unistd.h>

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

// The rules over the whole file at once; the blank lines put in front drop out.
FUZZ_NO_COVERAGE QString modelOf(QByteArray file, bool atFileStart)
{
    if (atFileStart && file.startsWith("\xEF\xBB\xBF"))
        file.remove(0, 3);
    // Each line decoded on its own, a mark at its start kept as U+FEFF.
    using Flag = QStringDecoder::Flag;
    QStringDecoder decoder(QStringDecoder::Utf8, Flag::Stateless | Flag::ConvertInitialBom);
    QString text;
    for (const QByteArray &line : file.replace("\r\n", "\n").replace('\r', '\n').split('\n')) {
        std::string_view kept(line.constData(), std::size_t(line.size()));
        kept.remove_prefix(std::min(kept.find_first_not_of(' '), kept.size()));
        kept.remove_suffix(kept.size() - (kept.find_last_not_of(' ') + 1));
        if (!kept.empty() && !isRem(kept))
            text += decoder.decode(QByteArrayView(kept.data(), qsizetype(kept.size()))) + QLatin1StringView("\r\n");
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

    const QString text = kest::ReadFile(scriptPath);
    for (QStringView rest(text); !rest.isEmpty(); rest = rest.sliced(rest.indexOf(u"\r\n") + 2)) {
        const QStringView line = rest.first(std::max<qsizetype>(rest.indexOf(u"\r\n"), 0));
        FUZZ_CHECK(!line.isEmpty() && !line.contains(u'\r') && !line.contains(u'\n')); // CR LF after each, none blank
        FUZZ_CHECK(line.front() != u' ' && line.back() != u' ' && !isRem(line.toUtf8().toStdString()));
    }
    FUZZ_CHECK(text == modelOf(QByteArray(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1)), fill == 0));
    return 0;
}
