#!/bin/sh
# Runs COMMAND (a Windows program under wine-run.sh) with an X server of its
# own for Wine to draw its windows on: an Xvfb on a free display. Wine's
# desktop process binds to the display it starts with, so the prefix's
# wineserver (and that process) is ended before and after the command.
# Usage: wine-on-xvfb.sh PREFIX COMMAND [ARGUMENT...]
set -eu
prefix=$(realpath -m "$1")
shift
end_wine() { WINEPREFIX="$prefix" /usr/lib/wine/wineserver -k 2>/dev/null || true; }
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
server=$!
trap 'end_wine; kill "$server" 2>/dev/null || true; rm -f "$fifo"' EXIT
read -r display <"$fifo" || { echo "wine-on-xvfb.sh: Xvfb did not start" >&2; exit 1; }
end_wine
status=0
DISPLAY=":$display" "$@" || status=$?
exit "$status"
