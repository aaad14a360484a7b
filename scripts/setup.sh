#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need, only those missing.
# Usage: scripts/setup.sh [run|package|test]   (default: test, which needs a superset of the others)
set -euo pipefail

purpose=${1:-test}
packages=(build-essential cmake ninja-build pkg-config libsqlite3-dev sqlite3
          qt6-base-dev fonts-dejavu-core)
if [ "$purpose" != run ]; then
  packages+=(file lintian)  # cpack -G DEB tells the installed binaries by their file type; Debian's checks
fi
if [ "$purpose" = test ]; then
  packages+=(libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth xdotool x11-utils openbox desktop-file-utils)
  packages+=(python3 imagemagick)  # end-to-end test: driver, screenshots of a failing step
  packages+=(cmark-gfm)  # window test: GitHub's Markdown reads the copied table back
  packages+=(tesseract-ocr xclip)  # bench/window_bench.py: OCR of the status line, clipboard owner for Paste
  # The end-to-end test reads and drives the window through AT-SPI: a D-Bus session, the
  # accessibility bus and its registry, the Python client; python3-xlib asks the window manager
  # to maximise; appstreamcli checks the installed metainfo.
  packages+=(dbus-daemon at-spi2-core python3-pyatspi gir1.2-atspi-2.0 python3-xlib appstream)
  # The fuzz targets: clang 14 and its libFuzzer and sanitizer runtimes.
  packages+=(clang-14 libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
sudo=()
if [ "$(id -u)" != 0 ]; then
  command -v sudo >/dev/null || { echo "setup: run as root or install sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
