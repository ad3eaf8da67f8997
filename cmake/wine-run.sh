#!/bin/sh
# Runs a Windows program of the build under Wine in the private prefix
# PREFIX (made on first use), with Wine's own chatter off.
# Usage: wine-run.sh PREFIX PROGRAM [ARGUMENT...]
set -eu
prefix=$(realpath -m "$1")
shift
"$(dirname "$0")/wine-prefix.sh" "$prefix"
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
exec "${ZYM_WINE:-/usr/lib/wine/wine64}" "$@"
