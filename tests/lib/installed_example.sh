#!/usr/bin/env bash
# Installs the library into a temporary prefix, builds the README's example against it with
# pkg-config, runs it and compares its output.
set -euo pipefail
build=$1 example=$2 flags=${3:-}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" --component library >/dev/null
cmake --install "$build" --prefix "$prefix" --component dev >/dev/null
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig:$prefix/lib/x86_64-linux-gnu/pkgconfig"
# shellcheck disable=SC2046,SC2086
cc -std=c11 -Wall -Wextra -Werror $flags -o "$prefix/example" "$example" $(pkg-config --cflags --libs kestrune3)
libdir=$(pkg-config --variable=libdir kestrune3)
out=$(LD_LIBRARY_PATH="$libdir" "$prefix/example")
expected=$'greeting|answer\nHello|42'
if [ "$out" != "$expected" ]; then
  echo "unexpected output:"; echo "$out"; exit 1
fi
test -f "$prefix/lib/cmake/kestrune3/kestrune3Config.cmake" || test -f "$prefix/lib/x86_64-linux-gnu/cmake/kestrune3/kestrune3Config.cmake"
echo "installed example OK"
