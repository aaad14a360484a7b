#!/usr/bin/env bash
# Sets up, builds under AddressSanitizer and UndefinedBehaviorSanitizer, and runs every test;
# then the library's tests on its portable code and its threaded cases under ThreadSanitizer;
# then builds the fuzz targets with clang and runs each for about 30 seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh test
cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan -j2 "$@"
for preset in portable tsan; do
  cmake --preset $preset >/dev/null
  cmake --build --preset $preset
  ctest --preset $preset -j2
done
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
ctest --preset fuzz
