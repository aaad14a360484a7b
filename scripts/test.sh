#!/usr/bin/env bash
# Sets up, builds under AddressSanitizer and UndefinedBehaviorSanitizer, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh test
cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan -j2 "$@"
