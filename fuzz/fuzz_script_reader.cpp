// Feeds arbitrary bytes as a script file to kest::ReadFile and checks its promises: every
// line ends with CR LF, none is blank, none is a REM comment, none has blanks at either end,
// and the text equals that of a plain line-by-line model of the same rules.
//
// The first input byte decides where the rest sits in the file: below 0x80 it is the whole
// file; from 0x80 on, a filler line is put in front so that the rest begins (byte & 0x7F)
// bytes before the reader's 64 KiB read boundary, and line ends (a CR before the boundary, its
// LF after it) meet that boundary.

#include "FuzzCheck.h"

#include "Scripts.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDir>
#include <QFileInfo>
#include <QString>
#include <QStringDecoder>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

constexpr qsizetype kReadBlock = 64 * 1024;

std::string scriptPath;

bool asciiStartsWithRem(QStringView line)
{
    const auto lower = [](QChar c) { return c.unicode() < 0x80 ? QChar(c.toLatin1() | 0x20) : c; };
    return line.size() >= 3 && lower(line[0]) == u'r' && lower(line[1]) == u'e' && lower(line[2]) == u'm';
}

// The rules of the reader, written as plainly as possible over the whole file at once.
QString modelOf(const QByteArray &file)
{
    QByteArrayView rest(file);
    if (rest.startsWith("\xEF\xBB\xBF"))
        rest = rest.sliced(3);
    // A mark inside the file is the character U+FEFF; QString::fromUtf8 would drop it.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString out;
    while (true) {
        qsizetype end = 0;
        while (end < rest.size() && rest[end] != '\r' && rest[end] != '\n')
            ++end;
        QByteArrayView line = rest.first(end);
        while (!line.isEmpty() && line.front() == ' ')
            line = line.sliced(1);
        while (!line.isEmpty() && line.back() == ' ')
            line.chop(1);
        const bool rem = line.size() >= 3 && qstrnicmp(line.data(), 3, "REM", 3) == 0 &&
                         (line.size() == 3 || line[3] == ' ');
        if (!line.isEmpty() && !rem)
            out += QString(decoder.decode(line)) + QLatin1StringView("\r\n");
        if (end == rest.size())
            return out;
        qsizetype next = end + 1;
        if (rest[end] == '\r' && next < rest.size() && rest[next] == '\n')
            ++next;
        rest = rest.sliced(next);
    }
}

void checkPromises(const QString &text)
{
    QStringView rest(text);
    while (!rest.isEmpty()) {
        const qsizetype end = rest.indexOf(u"\r\n");
        FUZZ_CHECK(end >= 0); // every line ends with CR LF
        const QStringView line = rest.first(end);
        FUZZ_CHECK(!line.isEmpty());
        FUZZ_CHECK(!line.contains(u'\r') && !line.contains(u'\n'));
        FUZZ_CHECK(line.front() != u' ' && line.back() != u' ');
        FUZZ_CHECK(!(asciiStartsWithRem(line) && (line.size() == 3 || line[3] == u' ')));
        rest = rest.sliced(end + 2);
    }
}

void removeScratch()
{
    std::remove(scriptPath.c_str());
    rmdir(QFileInfo(QString::fromStdString(scriptPath)).path().toLocal8Bit().constData());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    std::string pattern = QDir::tempPath().toStdString() + "/kest-fuzz-script-XXXXXX";
    FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
    scriptPath = pattern + "/script.sql";
    std::atexit(removeScratch);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    QByteArray file;
    const QByteArrayView rest(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    if (data[0] >= 0x80) {
        const qsizetype before = data[0] & 0x7F;
        file = QByteArray(kReadBlock - before - 1, 'x') + '\n';
    }
    file += rest;

    std::FILE *out = std::fopen(scriptPath.c_str(), "wb");
    FUZZ_CHECK(out != nullptr);
    FUZZ_CHECK(std::fwrite(file.constData(), 1, size_t(file.size()), out) == size_t(file.size()));
    FUZZ_CHECK(std::fclose(out) == 0);

    const QString text = kest::ReadFile(QString::fromStdString(scriptPath));
    checkPromises(text);
    FUZZ_CHECK(text == modelOf(file));
    return 0;
}
