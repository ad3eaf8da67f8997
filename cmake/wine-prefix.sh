#!/bin/sh
# Makes the private Wine prefix PREFIX once: the first caller boots it,
# callers that come meanwhile wait for it, later callers find it ready.
# Usage: wine-prefix.sh PREFIX
set -eu
# Wine takes only an absolute prefix.
prefix=$(realpath -m "$1")
wine=${ZYM_WINE:-/usr/lib/wine/wine64}
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
if [ ! -f "$prefix/.zym-ready" ]; then
    rm -rf "$prefix"
    # No Mono or Gecko: nothing here needs them, and Wine would otherwise
    # offer to download them.
    WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
        "$wine" wineboot -i >/dev/null 2>&1
    WINEPREFIX=$prefix "${wine%/*}/wineserver" -w
    touch "$prefix/.zym-ready"
fi
