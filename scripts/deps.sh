#!/usr/bin/env bash
# Installs the packages of scripts/packages.txt, or of the lists named as
# arguments (file names in scripts/), that are missing (Debian 12, as root).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
lists=("${@:-packages.txt}")
mapfile -t wanted < <(cd "$here" && grep -hvE '^\s*(#|$)' "${lists[@]}")
missing=()
for pkg in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
