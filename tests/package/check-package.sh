#!/usr/bin/env bash
# The README's embedding steps on a fresh prefix, as a host engineer runs them: install
# the package, build examples/first-frame against it with the stock toolchain file
# (examples/first-frame/toolchain-mingw-w64.cmake) and the consumer's own Boost, and run
# it under Wine with nothing but the prefix (VELTRA_DIST names the prefix's bin/, not
# the build's dist/). The example checks its frame pixel by pixel and exits 0 only when
# it is right. Also checked: what a host ships (bin/) holds no Wine bridge, and a
# consumer that forgets Boost is told what to pass.
#   tests/package/check-package.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
repo=$(cd "$(dirname "$0")/../.." && pwd)
work="$build/package-check"
prefix="$work/prefix"
rm -rf "$work"
mkdir -p "$work"
fail() { echo "package check: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
# What a host ships: the plug-in, the host services, the mingw runtime; Wine's Cg bridge
# only under bin/wine/.
for dll in VeltraRenderDirectX.dll skcore.dll sklog.dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
  test -f "$prefix/bin/$dll" || fail "bin/$dll is not installed"
done
test ! -e "$prefix/bin/cg.dll" || fail "the Wine bridge cg.dll is installed among the DLLs a host ships"
test -f "$prefix/bin/wine/x86_64-windows/cg.dll" || fail "the Wine bridge is not in bin/wine/"
test -f "$prefix/bin/veltra-host.exe" || fail "veltra-host.exe is not installed"

# Boost's headers as the consumer gives them: here Debian's, through a folder that holds
# only a link to them (the mingw compiler must not see /usr/include itself).
mkdir -p "$work/mingw-boost"
ln -s /usr/include/boost "$work/mingw-boost/boost"

cd "$repo"
configure() {
  cmake -S examples/first-frame -B "$1" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/examples/first-frame/toolchain-mingw-w64.cmake" \
    -DVeltraRenderDirectX_DIR="$prefix/lib/cmake/VeltraRenderDirectX" "${@:2}"
}
# Without Boost the package says what to give (the folder keeps its compiler checks for
# the configuration that follows).
if configure "$work/first-frame" >"$work/no-boost.log" 2>&1; then
  fail "find_package(VeltraRenderDirectX) passed without Boost's headers"
fi
grep -q -- "-DBoost_INCLUDE_DIR=FOLDER" "$work/no-boost.log" || { cat "$work/no-boost.log" >&2; fail "no word on Boost_INCLUDE_DIR"; }

configure "$work/first-frame" -DBoost_INCLUDE_DIR="$work/mingw-boost" >/dev/null
cmake --build "$work/first-frame" >/dev/null
test ! -e "$work/first-frame/cg.dll" || fail "veltra_deploy_runtime copied the Wine bridge beside the host"
cd "$work/first-frame"
VELTRA_DIST="$prefix/bin" "$repo/scripts/wine-run" ./first-frame.exe
# What it wrote: a 256 x 256 32-bit BMP.
test "$(stat -c %s first-frame.bmp)" -eq $((54 + 256 * 256 * 4))
