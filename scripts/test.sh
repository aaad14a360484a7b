#!/usr/bin/env bash
# Sets up, builds under AddressSanitizer and UndefinedBehaviorSanitizer, and runs every test;
# then builds the fuzz targets with clang and runs each for about 30 seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh test
cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan -j2 "$@"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
ctest --preset fuzz
