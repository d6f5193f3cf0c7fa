#!/usr/bin/env bash
# The README's embedding steps, word for word, on a fresh prefix: install the package,
# build examples/first-frame against it with find_package, and run it under Wine with
# nothing but the prefix (VELTRA_DIST names the prefix's bin/, not the build's dist/).
# The example checks its frame pixel by pixel and exits 0 only when it is right.
#   tests/package/check-package.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
repo=$(cd "$(dirname "$0")/../.." && pwd)
work="$build/package-check"
prefix="$work/prefix"
rm -rf "$work"
mkdir -p "$work"

cmake --install "$build" --prefix "$prefix" >/dev/null
cd "$repo"
cmake -S examples/first-frame -B "$work/first-frame" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-posix.cmake" \
  -DVeltraRenderDirectX_DIR="$prefix/lib/cmake/VeltraRenderDirectX" >/dev/null
cmake --build "$work/first-frame" >/dev/null
cd "$work/first-frame"
VELTRA_DIST="$prefix/bin" "$repo/scripts/wine-run" ./first-frame.exe
# What it wrote: a 256 x 256 32-bit BMP.
test "$(stat -c %s first-frame.bmp)" -eq $((54 + 256 * 256 * 4))
