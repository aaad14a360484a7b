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

// Each line of a format is gathered here and written whole.
class Lines {
public:
    explicit Lines(QIODevice &out) : out_(out) {}
    QByteArray line;
    bool endLine()
    {
        line += "\r\n";
        const bool written = out_.write(line) == line.size();
        line.clear();
        return written;
    }

private:
    QIODevice &out_;
};

void appendJsonString(QByteArray &out, std::string_view text)
{
    out += '"';
    for (const char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20)
                out += "\\u00" + QByteArray::number(static_cast<unsigned char>(c), 16).rightJustified(2, '0');
            else
                out += c;
        }
    }
    out += '"';
}

void appendMarkdownCell(QByteArray &out, std::string_view text)
{
    out += ' ';
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            out += "<br>";
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            continue;
        }
        if (std::string_view("\\|*_`[]<&~").find(c) != std::string_view::npos)
            out += '\\';
        out += c;
    }
    out += " |";
}

void appendQuoted(QByteArray &out, std::string_view text, char quote)
{
    out += quote;
    for (const char c : text) {
        if (c == quote)
            out += quote;
        out += c;
    }
    out += quote;
}

QByteArrayView view(std::string_view text)
{
    return QByteArrayView(text.data(), static_cast<qsizetype>(text.size()));
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
    lines.line = "[";
    const int columns = namedRows.columnCount(0);
    std::vector<QByteArray> keys;
    for (int c = 0; c < columns; ++c) {
        keys.emplace_back();
        appendJsonString(keys.back(), namedRows.cell(0, c));
        keys.back() += ": ";
    }
    for (int64_t row = 1; row < namedRows.rowCount(); ++row) {
        if (!lines.endLine())
            return false;
        lines.line += "  {";
        for (int c = 0; c < columns; ++c) {
            const std::string_view cell = namedRows.cell(row, c);
            if (c > 0)
                lines.line += ", ";
            lines.line += keys[std::size_t(c)];
            if (cell.empty())
                lines.line += "null";
            else if (IsEngineNumber(cell))
                lines.line += view(cell);
            else
                appendJsonString(lines.line, cell);
        }
        lines.line += row + 1 < namedRows.rowCount() ? "}," : "}";
    }
    if (!lines.endLine())
        return false;
    lines.line = "]";
    return lines.endLine();
}

bool WriteMarkdown(QIODevice &out, const CsvRows &namedRows)
{
    Lines lines(out);
    const int columns = namedRows.columnCount(0);
    for (int64_t row = 0; row < namedRows.rowCount(); ++row) {
        lines.line += '|';
        for (int c = 0; c < columns; ++c)
            appendMarkdownCell(lines.line, namedRows.cell(row, c));
        if (!lines.endLine())
            return false;
        if (row == 0) {
            lines.line = "|" + QByteArray(" --- |").repeated(columns);
            if (!lines.endLine())
                return false;
        }
    }
    return true;
}

bool WriteInserts(QIODevice &out, const CsvRows &namedRows, std::string_view table)
{
    Lines lines(out);
    QByteArray into("INSERT INTO ");
    appendQuoted(into, table, '"');
    const int columns = namedRows.columnCount(0);
    for (int c = 0; c < columns; ++c) {
        into += c == 0 ? '(' : ',';
        appendQuoted(into, namedRows.cell(0, c), '"');
    }
    into += ") VALUES(";
    for (int64_t row = 1; row < namedRows.rowCount(); ++row) {
        lines.line = into;
        for (int c = 0; c < columns; ++c) {
            const std::string_view cell = namedRows.cell(row, c);
            if (c > 0)
                lines.line += ',';
            if (cell.empty())
                lines.line += "NULL";
            else if (IsEngineNumber(cell) || isBlobLiteral(cell))
                lines.line += view(cell);
            else
                appendQuoted(lines.line, cell, '\'');
        }
        lines.line += ");";
        if (!lines.endLine())
            return false;
    }
    return true;
}

} // namespace kest
