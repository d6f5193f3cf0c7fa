#!/usr/bin/env bash
# Installs the build into a fresh prefix, builds a host against the installed package
# with find_package, and runs it under Wine.
#   tests/package/check-package.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
work="$build/package-check"
rm -rf "$work"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
cmake -S "$here/consumer" -B "$work/consumer" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-posix.cmake" \
  -DVeltraRenderDirectX_DIR="$work/prefix/lib/cmake/VeltraRenderDirectX" \
  -DBOOST_INCLUDE_DIR="$build/third-party/include" >/dev/null
cmake --build "$work/consumer" >/dev/null
VELTRA_DIST="$build/dist" "$repo/scripts/wine-run" "$work/consumer/package-consumer.exe"
