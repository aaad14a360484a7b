#pragma once
// A failed check ends the run with its text, so libFuzzer keeps the input as a crash.
// Unlike assert() it stays on in optimised builds.

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                                          \
    ((condition) ? void()                                                                                              \
                 : (std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition), std::abort()))

// For the harness's own loops over whole inputs: their branches would only crowd the fuzzer's
// tables, and without the hooks they run several times faster.
#define FUZZ_NO_COVERAGE __attribute__((no_sanitize("coverage")))

// ASan holds 256 MB of freed blocks by default, so every input writes to pages not touched
// before: RSS climbs past 300 MB and page faults take much of the time. 16 MB is still many
// inputs' worth of frees, ample for catching a use after free within one.
extern "C" const char *__asan_default_options() { return "quarantine_size_mb=16"; }
