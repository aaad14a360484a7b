#!/usr/bin/env bash
# Sets up, builds (optimised) and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh run
cmake --preset release -DKEST_BUILD_TESTS=OFF >/dev/null
cmake --build --preset release
exec build/release/bin/kestrune-demo "$@"
