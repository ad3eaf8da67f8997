#!/usr/bin/env bash
# The Windows build's installed package, used by a program outside the tree:
# installs BUILD_DIR into a fresh prefix, cross-builds the consumer against
# it with find_package and the mingw-w64 toolchain, and runs it and the
# installed zymwin.exe under Wine, the package's bin/ as their PATH.
# Usage: install_test_windows.sh BUILD_DIR
set -euo pipefail
build_dir="$1"
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
run() {
    WINEPATH="Z:$work/prefix/bin" "$root/cmake/wine-run.sh" "$build_dir/wineprefix" "$@" | tr -d '\r'
}
cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null
[ "$(run "$work/prefix/bin/zymwin.exe" --help | head -1)" = "Usage: zymwin COMMAND [ARGS...]" ]
# The toolchain finds packages inside the mingw sysroot only; a prefix
# elsewhere is named to find_package directly.
cmake -S "$here/consumer" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DZymWindows_DIR="$work/prefix/lib/cmake/ZymWindows" >/dev/null
cmake --build "$work/build" >/dev/null
expected=$'The other end of the pipe has disconnected.\nThe service is running.'
[ "$(run "$work/build/consumer.exe")" = "$expected" ]
echo "installed Windows package works with find_package under Wine"
