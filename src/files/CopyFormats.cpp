#include "CopyFormats.h"

#include <QByteArray>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace kest {

namespace {

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

// A number's digits as std::to_chars gives them: `precision` significant digits (none: the
// fewest that read back as the same double), with ".0" where they would read as an integer.
void putNumber(Lines &out, double real, int precision = 0)
{
    char text[32];
    const char *end = precision ? std::to_chars(text, text + sizeof text, real, std::chars_format::general, precision).ptr
                                : std::to_chars(text, text + sizeof text, real).ptr;
    out.put(std::string_view(text, std::size_t(end - text)));
    if (std::string_view(text, std::size_t(end - text)).find_first_of(".e") == std::string_view::npos)
        out.put(".0");
}

// A real as the engine reads it back to the same double. This engine (SQLite 3.40) reads 17
// significant digits exactly, but not every shorter text that names the double (about one in
// 2,600 elsewhere), nor 17 digits of a number below about 1e-291, which it scales by an inexact
// 1e308: such a number is written as the product of an exact number and 2^-512, which the engine
// multiplies without rounding. -0.0 is kept; Inf is written as the engine reads it, 1e999.
void putSqlReal(Lines &out, double real)
{
    if (std::isnan(real)) // the engine stores NaN as NULL
        return out.put("NULL");
    if (std::isinf(real))
        return out.put(real > 0 ? "1e999" : "-1e999");
    if (real != 0 && std::fabs(real) < 1e-290) {
        putNumber(out, std::ldexp(real, 512), 17);
        out.put('*');
        return putNumber(out, std::ldexp(1.0, -512), 17);
    }
    putNumber(out, real, 17);
}

// A BLOB as the engine's literal X'…' of its bytes in upper-case hex; a BLOB that the library
// gives in that form already is written as it stands, so that no copy of its bytes is made.
void putBlob(Lines &out, const CellValue &value)
{
    static constexpr char Hex[] = "0123456789ABCDEF";
    if (value.hexForm)
        return out.put(value.text);
    out.put("X'");
    for (const char c : value.text) {
        out.put(Hex[static_cast<unsigned char>(c) >> 4]);
        out.put(Hex[c & 15]);
    }
    out.put('\'');
}

// Keys for the column names, each used once: a name that an earlier column has taken gets the
// first ":2", ":3" … after it that no column is named and no earlier key is.
std::vector<std::string> uniqueKeys(const CsvRows &namedRows)
{
    std::vector<std::string> keys;
    std::set<std::string, std::less<>> taken;
    const int columns = namedRows.columnCount(0);
    for (int c = 0; c < columns; ++c)
        taken.emplace(namedRows.cell(0, c));
    std::set<std::string, std::less<>> used;
    for (int c = 0; c < columns; ++c) {
        std::string key(namedRows.cell(0, c));
        if (used.contains(key)) {
            const std::string name = key;
            for (int n = 2; taken.contains(key); ++n)
                key = name + ':' + std::to_string(n);
        }
        used.insert(key);
        taken.insert(key);
        keys.push_back(std::move(key));
    }
    return keys;
}

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

// A text in quotes, each carriage return as ||char(13)|| between quoted pieces: readers of
// lines, the sqlite3 shell among them, drop the CR of a CR LF even inside a literal.
void putSqlText(Lines &out, std::string_view text)
{
    for (std::size_t from = 0;; out.put("||char(13)||")) {
        const std::size_t to = std::min(text.find('\r', from), text.size());
        putQuoted(out, text.substr(from, to - from), '\'');
        if (to == text.size())
            return;
        from = to + 1;
    }
}

} // namespace

bool WriteJson(QIODevice &out, const CsvRows &namedRows)
{
    Lines lines(out);
    lines.put('[');
    const std::vector<std::string> keys = uniqueKeys(namedRows);
    for (int64_t row = 1; row < namedRows.rowCount(); ++row) {
        if (!lines.endLine())
            return false;
        lines.put("  {");
        for (int c = 0; c < int(keys.size()); ++c) {
            const CellValue value = namedRows.value(row, c);
            if (c > 0)
                lines.put(", ");
            putJsonString(lines, keys[std::size_t(c)]);
            lines.put(": ");
            switch (value.type) {
            case CellType::Null: lines.put("null"); break;
            case CellType::Integer: lines.put(value.text); break;
            case CellType::Real:
                if (std::isnan(value.real))
                    lines.put("null");
                else if (std::isinf(value.real))
                    lines.put(value.real > 0 ? "1e999" : "-1e999");
                else
                    putNumber(lines, value.real);
                break;
            case CellType::Text: putJsonString(lines, value.text); break;
            case CellType::Blob: // its SQL literal, which holds nothing that JSON escapes
                lines.put('"');
                putBlob(lines, value);
                lines.put('"');
            }
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

// Whether two columns have one name as the engine compares names (ASCII letters in either case).
bool namesRepeat(const CsvRows &namedRows)
{
    std::set<std::string> seen;
    for (int c = 0; c < namedRows.columnCount(0); ++c) {
        std::string name(namedRows.cell(0, c));
        std::transform(name.begin(), name.end(), name.begin(),
                       [](char ch) { return ch >= 'A' && ch <= 'Z' ? char(ch - 'A' + 'a') : ch; });
        if (!seen.insert(std::move(name)).second)
            return true;
    }
    return false;
}

bool WriteInserts(QIODevice &out, const CsvRows &namedRows, std::string_view table)
{
    Lines lines(out);
    const int columns = namedRows.columnCount(0);
    // The engine gives a repeated column the first of its values and drops the others without a
    // word: such rows name no columns and fill the table's in order.
    const bool byPosition = namesRepeat(namedRows);
    for (int64_t row = 1; row < namedRows.rowCount(); ++row) {
        lines.put("INSERT INTO ");
        putQuoted(lines, table, '"');
        for (int c = 0; c < columns && !byPosition; ++c) {
            lines.put(c == 0 ? '(' : ',');
            putQuoted(lines, namedRows.cell(0, c), '"');
        }
        lines.put(byPosition ? " VALUES(" : ") VALUES(");
        for (int c = 0; c < columns; ++c) {
            const CellValue value = namedRows.value(row, c);
            if (c > 0)
                lines.put(',');
            switch (value.type) {
            case CellType::Null: lines.put("NULL"); break;
            case CellType::Integer: lines.put(value.text); break;
            case CellType::Real: putSqlReal(lines, value.real); break;
            case CellType::Text: putSqlText(lines, value.text); break;
            case CellType::Blob: putBlob(lines, value);
            }
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
