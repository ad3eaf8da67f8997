#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (default 20) on its corpus.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-20}"
build="$root/build-fuzz"
"$root/scripts/deps.sh"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZYM_BUILD_TESTS=OFF -DZYM_BUILD_FUZZ=ON -DZYM_WERROR=ON >/dev/null
targets=()
for source in "$root"/fuzz/*.cpp; do
    targets+=("fuzz_$(basename "$source" .cpp)")
done
# Only the fuzz targets and the libraries under them, not the whole tree.
cmake --build "$build" --parallel "$(nproc)" --target "${targets[@]}"
for name in "${targets[@]}"; do
    target="$build/fuzz/$name"
    corpus="$root/fuzz/corpus/${name#fuzz_}"
    work="$build/corpus-${name#fuzz_}"
    mkdir -p "$work"
    echo "fuzzing $name for ${seconds}s"
    "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 "$work" ${corpus:+$([ -d "$corpus" ] && echo "$corpus")}
done
