#!/usr/bin/env bash
# Builds the benchmarks in Release (build-bench/) and runs each of them.
# --smoke runs each once on a small load: CI uses it so that the Release
# build and every benchmark keep working.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build-bench}"
smoke=false
case "${1:-}" in
    --smoke) smoke=true ;;
    -h|--help)
        echo "Usage: scripts/bench.sh [--smoke]"
        echo "Builds the benchmarks (Release) into build-bench/ and runs each; --smoke runs each briefly."
        exit 0 ;;
    "") ;;
    *) echo "scripts/bench.sh: unknown option '$1' (see --help)" >&2; exit 2 ;;
esac
BUILD_DIR="$build" "$root/scripts/build.sh" -DCMAKE_BUILD_TYPE=Release -DZYM_BUILD_BENCH=ON \
    -DZYM_BUILD_TESTS=OFF
for program in "$build"/bench/bench_*; do
    name="$(basename "$program")"
    args=()
    if $smoke; then
        case "$name" in
            bench_cfb) args=(--mb 4 --cat-mb 4 --docs 4) ;;
            bench_registry) args=() ;;
            bench_observer) args=(--files 2000 --benchmark_min_time=0.01) ;;
            *) args=(--benchmark_min_time=0.01) ;;
        esac
    fi
    echo "::: $name ${args[*]}"
    "$program" "${args[@]}"
done
