#!/usr/bin/env bash
# Installs the library into a temporary prefix, builds the README's example against it with
# pkg-config, runs it and compares its output; the CMake package must be installed too.
set -euo pipefail
build=$1 example=$2 flags=${3:-}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
for component in library dev; do cmake --install "$build" --prefix "$prefix" --component $component >/dev/null; done
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig:$prefix/lib/x86_64-linux-gnu/pkgconfig"
# shellcheck disable=SC2046,SC2086
cc -std=c11 -Wall -Wextra -Werror $flags -o "$prefix/example" "$example" $(pkg-config --cflags --libs kestrune3)
out=$(LD_LIBRARY_PATH=$(pkg-config --variable=libdir kestrune3) "$prefix/example")
[ "$out" = $'greeting|answer\nHello|42' ] || { echo "unexpected output: $out"; exit 1; }
find "$prefix" -path '*/cmake/kestrune3/kestrune3Config.cmake' | grep -q . || { echo "no kestrune3Config.cmake"; exit 1; }
echo "installed example OK"
