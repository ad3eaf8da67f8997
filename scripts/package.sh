#!/usr/bin/env bash
# Makes the Debian packages (libzymwindows1, libzymwindows-dev, zymwin) with
# CPack: a Release build under /usr without install run path, in BUILD_DIR
# (default build-deb/); the .deb files land in BUILD_DIR/packages/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build-deb}"
case "${1:-}" in
    -h|--help)
        echo "Usage: scripts/package.sh"
        echo "Builds the Debian packages in \$BUILD_DIR (default build-deb/) and lists them."
        echo "Install them with: apt-get install ./build-deb/packages/*.deb"
        exit 0 ;;
    "") ;;
    *) echo "scripts/package.sh: unknown option '$1' (see --help)" >&2; exit 2 ;;
esac
BUILD_DIR="$build" "$root/scripts/build.sh" -DCMAKE_BUILD_TYPE=Release -DZYM_BUILD_TESTS=OFF \
    -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_SKIP_INSTALL_RPATH=ON
rm -rf "$build/packages"
(cd "$build" && cpack -G DEB -B "$build/packages" >/dev/null)
ls "$build"/packages/*.deb
