#!/usr/bin/env bash
# Installs the build tree into a fresh prefix, then builds and runs a program
# outside the tree against it, once with find_package and once with pkg-config.
set -euo pipefail
build_dir="$1"
source_dir="$(cd "$(dirname "$0")" && pwd)/consumer"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null
# The installed tool starts from a private prefix with no library path set.
env -u LD_LIBRARY_PATH "$work/prefix/bin/zymwin" --help >/dev/null
# The installed library finds its dump helper under libexec: the report has
# the stacks.
env -u LD_LIBRARY_PATH "$work/prefix/bin/zymwin" dump report "$work/report.txt" >/dev/null
grep -q "ZymWindows::ProcessDump::Write" "$work/report.txt"
cmake -S "$source_dir" -B "$work/build" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/build" >/dev/null
expected=$'The other end of the pipe has disconnected.\nThe service is running.'
[ "$("$work/build/consumer")" = "$expected" ]
libdir="$(dirname "$(find "$work/prefix" -name zymwindows.pc)")"
PKG_CONFIG_PATH="$libdir" c++ -o "$work/consumer-pc" "$source_dir/main.cpp" \
    $(PKG_CONFIG_PATH="$libdir" pkg-config --cflags --libs zymwindows) -Wl,-rpath,"$libdir/.."
[ "$("$work/consumer-pc")" = "$expected" ]
echo "installed package works with find_package and pkg-config"
