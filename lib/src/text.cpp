#include "text.h"

#include <cstdlib>
#include <cstdint>
#include <cstring>

namespace kest::text {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The sequence at p (at most n bytes): its length, and whether it is valid. An invalid one is
// its maximal subpart (at least one byte), which becomes one U+FFFD. Overlong forms,
// surrogates and code points above U+10FFFF are invalid.
struct Sequence {
    std::size_t length;
    bool valid;
};

Sequence next_sequence(const unsigned char *p, std::size_t n) noexcept
{
    const unsigned char b0 = p[0];
    if (b0 < 0x80)
        return {1, true};
    std::size_t need;
    unsigned char lo = 0x80, hi = 0xBF; // allowed range of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        need = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        need = 3;
        lo = b0 == 0xE0 ? 0xA0 : 0x80;
        hi = b0 == 0xED ? 0x9F : 0xBF;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        need = 4;
        lo = b0 == 0xF0 ? 0x90 : 0x80;
        hi = b0 == 0xF4 ? 0x8F : 0xBF;
    } else {
        return {1, false};
    }
    std::size_t i = 1;
    for (; i < need && i < n; ++i) {
        const unsigned char b = p[i];
        const bool ok = i == 1 ? (b >= lo && b <= hi) : (b & 0xC0) == 0x80;
        if (!ok)
            return {i, false};
    }
    return {i, i == need};
}

// The code point at p[0], which is not the text's zero: a pair of surrogates is one, a lone
// surrogate U+FFFD.
struct CodePoint {
    char32_t value;
    std::size_t units;
};

CodePoint code_point_at(const char16_t *p) noexcept
{
    const char32_t c = p[0];
    if (c < 0xD800 || c > 0xDFFF)
        return {c, 1};
    if (c <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF)
        return {0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(p[1]) - 0xDC00), 2};
    return {0xFFFD, 1};
}

std::size_t utf8_bytes(char32_t c) noexcept
{
    return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

char *put_code_point(char *out, char32_t c) noexcept
{
    if (c < 0x80) {
        *out++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *out++ = static_cast<char>(0xC0 | (c >> 6));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (c >> 12));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (c >> 18));
        *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

// SQL is mostly ASCII: eight units are looked at, and copied, at a time while it is.
constexpr std::size_t AsciiBlock = 8;

bool ascii_block(const char16_t *p) noexcept
{
    uint64_t words[2];
    std::memcpy(words, p, sizeof words);
    return ((words[0] | words[1]) & 0xFF80FF80FF80FF80ULL) == 0;
}

} // namespace

TextScan scan_text(const char *p, std::size_t n) noexcept
{
    constexpr uint64_t HighBits = 0x8080808080808080ULL;
    constexpr uint64_t LowBits = 0x0101010101010101ULL;
    std::size_t i = 0;
    while (i + 8 <= n) {
        uint64_t word;
        std::memcpy(&word, p + i, sizeof word);
        // Stop at the first word with a non-ASCII or a zero byte; the bytewise loop sorts it out.
        if ((word & HighBits) != 0 || ((word - LowBits) & ~word & HighBits) != 0)
            break;
        i += 8;
    }
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    bool valid = true;
    while (i < n && u[i] != 0) {
        if (u[i] < 0x80) {
            ++i;
            continue;
        }
        const Sequence seq = next_sequence(u + i, n - i);
        valid = valid && seq.valid;
        i += seq.length;
    }
    return {i, valid};
}

void append_sanitized_utf8(std::string &out, const char *p, std::size_t n)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    std::size_t i = 0;
    while (i < n) {
        const Sequence seq = next_sequence(u + i, n - i);
        if (seq.valid)
            out.append(p + i, seq.length);
        else
            out += kReplacement;
        i += seq.length;
    }
}

std::size_t sanitized_length(const char *p, std::size_t n) noexcept
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    std::size_t length = 0;
    for (std::size_t i = 0; i < n;) {
        const Sequence seq = next_sequence(u + i, n - i);
        length += seq.valid ? seq.length : kReplacement.size();
        i += seq.length;
    }
    return length;
}

bool blob_as_text(const void *p, std::size_t n) noexcept
{
    if (n == 0 || p == nullptr)
        return true;
    const TextScan scan = scan_text(static_cast<const char *>(p), n); // it stops at a zero byte
    return scan.length == n && scan.valid;
}

std::size_t blob_text_length(std::size_t n, bool as_text) noexcept
{
    return as_text ? n : 3 + 2 * n;
}

void append_blob_text(std::string &out, const void *p, std::size_t n, bool as_text)
{
    const char *bytes = static_cast<const char *>(p);
    if (n == 0 || bytes == nullptr)
        return;
    if (as_text) {
        out.append(bytes, n);
        return;
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    out.reserve(out.size() + blob_text_length(n, false));
    out += "X'";
    for (std::size_t i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out += kHex[b >> 4];
        out += kHex[b & 0x0F];
    }
    out += '\'';
}

Utf16Measure measure_utf16(const char16_t *p) noexcept
{
    // Measured first, then written in place: appending a byte at a time took half a second for
    // a 100 MB script.
    const std::size_t n = std::char_traits<char16_t>::length(p);
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < n;) {
        if (n - i >= AsciiBlock && ascii_block(p + i)) {
            bytes += AsciiBlock;
            i += AsciiBlock;
            continue;
        }
        const CodePoint c = code_point_at(p + i);
        bytes += utf8_bytes(c.value);
        i += c.units;
    }
    return {n, bytes};
}

void append_utf16_as_utf8(std::string &out, const char16_t *p, Utf16Measure measured)
{
    // The same steps as the measure, so the bytes written are the bytes counted.
    const std::size_t at = out.size(), n = measured.units;
    out.resize(at + measured.utf8_bytes);
    char *o = out.data() + at;
    for (std::size_t i = 0; i < n;) {
        if (n - i >= AsciiBlock && ascii_block(p + i)) {
            char block[AsciiBlock];
            for (std::size_t k = 0; k < AsciiBlock; ++k)
                block[k] = static_cast<char>(p[i + k]);
            std::memcpy(o, block, AsciiBlock);
            o += AsciiBlock;
            i += AsciiBlock;
            continue;
        }
        const CodePoint c = code_point_at(p + i);
        o = put_code_point(o, c.value);
        i += c.units;
    }
}

char *dup_for_caller(std::string_view s) noexcept
{
    auto *copy = static_cast<char *>(std::malloc(s.size() + 1));
    if (copy == nullptr)
        return nullptr;
    if (!s.empty())
        std::memcpy(copy, s.data(), s.size());
    copy[s.size()] = '\0';
    return copy;
}

} // namespace kest::text
