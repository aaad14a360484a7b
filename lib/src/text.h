#pragma once
// Text conversions at the library's edge: everything handed out is valid UTF-8.

#include <cstddef>
#include <string>
#include <string_view>

namespace kest::text {

// The length of p[0..n) up to its first zero byte, and whether that much is valid UTF-8.
// Cells are mostly ASCII: eight bytes are checked at a time while they are.
struct TextScan {
    std::size_t length;
    bool valid;
};
TextScan scan_text(const char *p, std::size_t n) noexcept;

// Appends p[0..n) to out, each invalid UTF-8 sequence replaced by U+FFFD.
void append_sanitized_utf8(std::string &out, const char *p, std::size_t n);
// The length of what append_sanitized_utf8 appends.
std::size_t sanitized_length(const char *p, std::size_t n) noexcept;

// A BLOB as text: its bytes when they are valid UTF-8 without a zero byte, otherwise the SQL
// hex form X'00FF'. blob_as_text tells which; append_blob_text appends it.
bool blob_as_text(const void *p, std::size_t n) noexcept;
std::size_t blob_text_length(std::size_t n, bool as_text) noexcept;
void append_blob_text(std::string &out, const void *p, std::size_t n, bool as_text);

// Zero-terminated UTF-16 as UTF-8, a lone surrogate as U+FFFD: measured first (its units and
// the bytes of its UTF-8), so that the room can be counted before the text is made.
struct Utf16Measure {
    std::size_t units;
    std::size_t utf8_bytes;
};
Utf16Measure measure_utf16(const char16_t *p) noexcept;
void append_utf16_as_utf8(std::string &out, const char16_t *p, Utf16Measure measured);

// A copy of s for the caller, released with kest_free_text(); nullptr when out of memory.
char *dup_for_caller(std::string_view s) noexcept;

} // namespace kest::text
