#!/usr/bin/env bash
# Builds the library and runs the demo.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/build.sh" -DZYM_BUILD_TESTS=OFF
"${BUILD_DIR:-$root/build}/tools/zymwin/zymwin" demo
