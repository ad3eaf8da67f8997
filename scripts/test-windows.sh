#!/usr/bin/env bash
# Cross-builds the Windows side with mingw-w64 into BUILD_DIR (default
# build-win/) and runs its test suites under Wine, each suite as one Wine
# process, in a Wine prefix of that build folder (made on first use).
# BUILD_TARGETS, if set, limits the build to those targets and the run to
# the suites among them (test_thread runs the suite labelled thread).
# Extra arguments go to cmake.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build-win}"
"$root/scripts/deps.sh" packages.txt packages-windows.txt
cmake -S "$root" -B "$build" -G Ninja -DZYM_WERROR=ON -DZYM_BUILD_TESTS=ON \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" "$@" >/dev/null
cmake --build "$build" --parallel "$(nproc)" ${BUILD_TARGETS:+--target $BUILD_TARGETS}
suites=()
if [ -n "${BUILD_TARGETS:-}" ]; then
    labels="$(tr ' ' '\n' <<<"$BUILD_TARGETS" | sed -n 's/^test_//p' | paste -sd '|')"
    suites=(-L "^(${labels})\$")
fi
started=$SECONDS
"$root/cmake/wine-prefix.sh" "$build/wineprefix"
echo "Wine prefix ready after $((SECONDS - started)) s"
status=0
# One suite after the other: two Wine processes started together in a
# prefix have hung.
ctest --test-dir "$build" --output-on-failure --timeout 300 "${suites[@]}" || status=$?
# The prefix's wineserver lingers after the last program; end it with the run.
WINEPREFIX="$build/wineprefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
exit "$status"
