#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need, only those missing.
# Usage: scripts/setup.sh [run|package|test]   (default: test, which needs a superset of the others)
set -euo pipefail

purpose=${1:-test}
packages=(build-essential cmake ninja-build pkg-config libsqlite3-dev sqlite3
          qt6-base-dev fonts-dejavu-core)
if [ "$purpose" != run ]; then
  packages+=(file)  # cpack -G DEB tells the installed binaries by their file type
fi
if [ "$purpose" = test ]; then
  packages+=(libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth xdotool x11-utils openbox desktop-file-utils)
  packages+=(python3 tesseract-ocr imagemagick)  # end-to-end test: driver, OCR of the status line, screenshots
  packages+=(xclip)  # the window benchmark's clipboard owner for Paste of a big script
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
