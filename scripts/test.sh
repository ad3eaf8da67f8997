#!/usr/bin/env bash
# Builds the library and its tests and runs every test.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
"$root/scripts/build.sh" -DZYM_BUILD_TESTS=ON "$@"
ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)" --timeout 300
