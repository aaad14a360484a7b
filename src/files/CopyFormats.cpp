#include "CopyFormats.h"

#include <QByteArray>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <string>
#include <vector>

namespace kest {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The digits from `at` on; `at` is moved past them.
std::string_view digits(std::string_view text, std::size_t &at)
{
    const std::size_t from = at;
    while (at < text.size() && isDigit(text[at]))
        ++at;
    return text.substr(from, at - from);
}

// The hex form in which the library shows a BLOB: X'…' with upper-case hex digits in pairs.
bool isBlobLiteral(std::string_view text)
{
    if (text.size() < 3 || text[0] != 'X' || text[1] != '\'' || text.back() != '\'' || text.size() % 2 != 1)
        return false;
    for (const char c : text.substr(2, text.size() - 3))
        if (!isDigit(c) && !(c >= 'A' && c <= 'F'))
            return false;
    return true;
}

// What a format writes is gathered here and written in pieces of a bounded size, so that a
// huge cell takes no memory of its size beside what it is written to. A write that fails fails
// the lines that follow.
class Lines {
public:
    explicit Lines(QIODevice &out) : out_(out) {}
    void put(char c)
    {
        piece_ += c;
        if (piece_.size() >= Piece)
            flush();
    }
    void put(std::string_view text)
    {
        if (piece_.size() + qsizetype(text.size()) < Piece) {
            piece_ += QByteArrayView(text.data(), qsizetype(text.size()));
            return;
        }
        flush(); // a long text is written from where it is
        written_ = written_ && out_.write(text.data(), qint64(text.size())) == qint64(text.size());
    }
    bool endLine()
    {
        piece_ += "\r\n";
        flush();
        return written_;
    }

private:
    static constexpr qsizetype Piece = 64 * 1024;
    void flush()
    {
        written_ = written_ && out_.write(piece_) == piece_.size();
        piece_.clear();
    }
    QIODevice &out_;
    QByteArray piece_;
    bool written_ = true;
};

void putJsonString(Lines &out, std::string_view text)
{
    static constexpr char Hex[] = "0123456789abcdef";
    out.put('"');
    for (const char c : text) {
        switch (c) {
        case '"': out.put("\\\""); break;
        case '\\': out.put("\\\\"); break;
        case '\b': out.put("\\b"); break;
        case '\f': out.put("\\f"); break;
        case '\n': out.put("\\n"); break;
        case '\r': out.put("\\r"); break;
        case '\t': out.put("\\t"); break;
        default:
            if (const auto unit = static_cast<unsigned char>(c); unit < 0x20) {
                out.put("\\u00");
                out.put(Hex[unit >> 4]);
                out.put(Hex[unit & 15]);
            } else {
                out.put(c);
            }
        }
    }
    out.put('"');
}

// A Markdown reader trims the blanks at a cell's edges, and takes backslashes inside what it
// links by itself (http://…, www.…) as part of the address: so the edges' blanks are written as
// character references, and so are the colon after a scheme and the "w" of "www.", which keeps
// the reader from linking the text and leaves its backslashes escapes.
void putMarkdownCell(Lines &out, std::string_view text)
{
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; };
    const auto isLetter = [](char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; };
    const std::size_t first = std::find_if_not(text.begin(), text.end(), isBlank) - text.begin();
    const std::size_t end = text.size() - (std::find_if_not(text.rbegin(), text.rend() - first, isBlank) - text.rbegin());
    const auto reference = [&out](char c) {
        out.put("&#");
        out.put(std::to_string(int(c)));
        out.put(';');
    };
    out.put(' ');
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (i < first || i >= end) {
            reference(c);
        } else if (c == '\r' || c == '\n') {
            out.put("<br>");
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if ((c == ':' && i > 0 && isLetter(text[i - 1])) ||
                   ((c | 0x20) == 'w' && i + 4 <= text.size() && (text[i + 1] | 0x20) == 'w' &&
                    (text[i + 2] | 0x20) == 'w' && text[i + 3] == '.')) {
            reference(c);
        } else {
            if (std::string_view("\\|*_`[]<&~").find(c) != std::string_view::npos)
                out.put('\\');
            out.put(c);
        }
    }
    out.put(" |");
}

void putQuoted(Lines &out, std::string_view text, char quote)
{
    out.put(quote);
    for (std::size_t from = 0; from <= text.size();) {
        const std::size_t to = std::min(text.find(quote, from), text.size());
        out.put(text.substr(from, to - from));
        if (to < text.size()) {
            out.put(quote);
            out.put(quote);
        }
        from = to + 1;
    }
    out.put(quote);
}

} // namespace

bool IsEngineNumber(std::string_view text)
{
    std::size_t at = text.starts_with('-') ? 1 : 0;
    const std::string_view whole = digits(text, at);
    if (whole.empty() || (whole.size() > 1 && whole[0] == '0'))
        return false;
    if (at == text.size()) {
        std::int64_t value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        return error == std::errc() && end == text.data() + text.size() && text != "-0";
    }
    if (text[at++] != '.')
        return false;
    const std::string_view fraction = digits(text, at);
    if (fraction.empty() || (fraction.size() > 1 && fraction.back() == '0'))
        return false;
    // The engine prints with 15 significant digits, and the ".0" of a whole number is not one.
    std::string_view significant = fraction == "0" ? whole : std::string_view();
    std::string number;
    if (significant.empty()) {
        number = std::string(whole) + std::string(fraction);
        significant = number;
        significant.remove_prefix(std::min(significant.find_first_not_of('0'), significant.size()));
    }
    if (significant.size() > 15)
        return false;
    if (at == text.size()) // written out in full: from 0.0001 to below 10^15 (and zero)
        return whole != "0" || fraction.find_first_not_of('0') <= 3 || fraction == "0";
    // Otherwise one digit before the point and a signed exponent of at least two digits.
    if (text[at++] != 'e' || at == text.size() || (text[at] != '+' && text[at] != '-') || whole.size() != 1 ||
        whole == "0")
        return false;
    const bool negative = text[at] == '-';
    const std::string_view exponent = digits(text, ++at);
    int value = 0;
    std::from_chars(exponent.data(), exponent.data() + exponent.size(), value);
    return at == text.size() && exponent.size() >= 2 && exponent.size() <= 3 && value >= (negative ? 5 : 15);
}

bool WriteJson(QIODevice &out, const CsvRows &namedRows)
{
    Lines lines(out);
    lines.put('[');
    const int columns = namedRows.columnCount(0);
    for (int64_t row = 1; row < namedRows.rowCount(); ++row) {
        if (!lines.endLine())
            return false;
        lines.put("  {");
        for (int c = 0; c < columns; ++c) {
            const std::string_view cell = namedRows.cell(row, c);
            if (c > 0)
                lines.put(", ");
            putJsonString(lines, namedRows.cell(0, c));
            lines.put(": ");
            if (cell.empty())
                lines.put("null");
            else if (IsEngineNumber(cell))
                lines.put(cell);
            else
                putJsonString(lines, cell);
        }
        lines.put(row + 1 < namedRows.rowCount() ? "}," : "}");
    }
    if (!lines.endLine())
        return false;
    lines.put(']');
    return lines.endLine();
}

bool WriteMarkdown(QIODevice &out, const CsvRows &namedRows)
{
    Lines lines(out);
    const int columns = namedRows.columnCount(0);
    for (int64_t row = 0; row < namedRows.rowCount(); ++row) {
        lines.put('|');
        for (int c = 0; c < columns; ++c)
            putMarkdownCell(lines, namedRows.cell(row, c));
        if (!lines.endLine())
            return false;
        if (row == 0) {
            lines.put('|');
            for (int c = 0; c < columns; ++c)
                lines.put(" --- |");
            if (!lines.endLine())
                return false;
        }
    }
    return true;
}

bool WriteInserts(QIODevice &out, const CsvRows &namedRows, std::string_view table)
{
    Lines lines(out);
    const int columns = namedRows.columnCount(0);
    for (int64_t row = 1; row < namedRows.rowCount(); ++row) {
        lines.put("INSERT INTO ");
        putQuoted(lines, table, '"');
        for (int c = 0; c < columns; ++c) {
            lines.put(c == 0 ? '(' : ',');
            putQuoted(lines, namedRows.cell(0, c), '"');
        }
        lines.put(") VALUES(");
        for (int c = 0; c < columns; ++c) {
            const std::string_view cell = namedRows.cell(row, c);
            if (c > 0)
                lines.put(',');
            if (cell.empty())
                lines.put("NULL");
            else if (IsEngineNumber(cell) || isBlobLiteral(cell))
                lines.put(cell);
            else
                putQuoted(lines, cell, '\'');
        }
        lines.put(");");
        if (!lines.endLine())
            return false;
    }
    return true;
}

bool WriteTabText(QIODevice &out, const CsvRows &namedRows)
{
    Lines lines(out);
    const int columns = namedRows.columnCount(0);
    for (int64_t row = 0; row < namedRows.rowCount(); ++row) {
        for (int c = 0; c < columns; ++c) {
            const std::string_view cell = namedRows.cell(row, c);
            if (c > 0)
                lines.put('\t');
            if (cell.starts_with('"') || cell.find_first_of("\t\r\n") != std::string_view::npos)
                putQuoted(lines, cell, '"');
            else
                lines.put(cell);
        }
        if (!lines.endLine())
            return false;
    }
    return true;
}

} // namespace kest
