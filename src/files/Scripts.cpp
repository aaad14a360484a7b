#include "Scripts.h"

#include "SafeWrite.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <array>

namespace kest {

namespace {

bool isRemComment(QByteArrayView line)
{
    // Case-insensitive on ASCII only; no other character upper-cases to R, E or M.
    if (line.size() < 3 || qstrnicmp(line.data(), "REM", 3) != 0)
        return false;
    return line.size() == 3 || line.at(3) == ' ';
}

// Decodes each kept line on its own. Unlike QString::fromUtf8 it keeps a byte-order mark at the
// start of a line as the character U+FEFF: dropping it would turn "<BOM>REM x" into a REM line
// and "<BOM>  x" into a line with leading blanks after the filtering had already passed them.
QStringDecoder lineDecoder()
{
    return QStringDecoder(QStringDecoder::Utf8,
                          QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
}

void keepLine(QByteArrayView line, QStringDecoder &decoder, QString &result)
{
    const auto notBlank = [](char c) { return c != ' '; };
    const auto first = std::find_if(line.begin(), line.end(), notBlank);
    const auto last = std::find_if(line.rbegin(), line.rend(), notBlank).base();
    if (first >= last)
        return;
    const QByteArrayView trimmed(first, last);
    if (isRemComment(trimmed))
        return;
    result += decoder.decode(trimmed);
    result += QLatin1StringView("\r\n");
}

} // namespace

QString ReadFile(const QString &path)
{
    QString result;
    if (path.isEmpty())
        return result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return result;

    std::array<char, 64 * 1024> chunk;
    QByteArray line;
    QStringDecoder decoder = lineDecoder();
    bool atStart = true;
    bool afterCarriageReturn = false;
    for (;;) {
        const qint64 got = file.read(chunk.data(), qint64(chunk.size()));
        if (got < 0)
            return result; // the unfinished line is not part of what was gathered
        if (got == 0)
            break;
        QByteArrayView data(chunk.data(), got);
        if (atStart) {
            atStart = false;
            if (data.startsWith(QByteArrayView("\xEF\xBB\xBF")))
                data = data.sliced(3);
        }
        while (!data.isEmpty()) {
            if (afterCarriageReturn) {
                afterCarriageReturn = false;
                if (data.front() == '\n') {
                    data = data.sliced(1);
                    continue;
                }
            }
            const auto end = std::find_if(data.begin(), data.end(),
                                          [](char c) { return c == '\r' || c == '\n'; });
            line.append(QByteArrayView(data.begin(), end));
            if (end == data.end())
                break;
            keepLine(line, decoder, result);
            line.clear();
            afterCarriageReturn = *end == '\r';
            data = data.sliced(end - data.begin() + 1);
        }
    }
    keepLine(line, decoder, result); // the last line needs no line end
    return result;
}

bool SaveFile(const QString &path, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    QByteArray bytes;
    bytes.reserve(utf8.size() + utf8.count('\n') + 2);
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const char c = utf8.at(i);
        if (c == '\r' || c == '\n') {
            bytes.append("\r\n");
            if (c == '\r' && i + 1 < utf8.size() && utf8.at(i + 1) == '\n')
                ++i;
        } else {
            bytes.append(c);
        }
    }
    bytes.append("\r\n");
    return WriteFileSafely(path, [&bytes](QIODevice &out) { return out.write(bytes) == bytes.size(); });
}

} // namespace kest
