#pragma once
// A failed check ends the run with its text, so libFuzzer keeps the input as a crash.
// Unlike assert() it stays on in optimised builds.

#include <cstddef>
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

// The harness's own loops over megabytes of cells need no coverage feedback; without it they
// run several times faster.
#if defined(__clang__)
#define FUZZ_NO_COVERAGE __attribute__((no_sanitize("coverage")))
#else
#define FUZZ_NO_COVERAGE
#endif

namespace kest::fuzz {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF. Written apart from
// the library's own check, so the two cannot share a mistake.
FUZZ_NO_COVERAGE inline bool isValidUtf8(const unsigned char *p, std::size_t n)
{
    std::size_t i = 0;
    while (i < n) {
        const unsigned c = p[i];
        unsigned cp;
        std::size_t len;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            len = 2;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            len = 3;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            len = 4;
        } else {
            return false;
        }
        if (n - i < len)
            return false;
        for (std::size_t k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        const unsigned smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < smallest[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

FUZZ_NO_COVERAGE inline bool isValidUtf8(const char *text)
{
    std::size_t n = 0;
    while (text[n] != '\0')
        ++n;
    return isValidUtf8(reinterpret_cast<const unsigned char *>(text), n);
}

} // namespace kest::fuzz
