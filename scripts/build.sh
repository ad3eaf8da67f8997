#!/usr/bin/env bash
# Configures and builds into BUILD_DIR (default build/) with any extra cmake
# arguments; BUILD_TARGETS, if set, limits the build to those targets.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
"$root/scripts/deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DZYM_WERROR=ON "$@" >/dev/null
cmake --build "$build" --parallel "$(nproc)" ${BUILD_TARGETS:+--target $BUILD_TARGETS}
