#!/usr/bin/env bash
# Runs a command on the client side of the fixture that fixture.sh brought
# up in STATE_DIR: in the client network namespace, in a mount namespace of
# its own where /etc/samba and /etc/resolv.conf are the client's.
#
#   run-client.sh STATE_DIR COMMAND [ARGS...]
set -euo pipefail
state="${1:?usage: $0 STATE_DIR COMMAND [ARGS...]}"
shift
if [ ! -f "$state/client/etc/smb.conf" ]; then
    echo "run-client: no fixture in $state (fixture.sh up did not run or failed)" >&2
    exit 1
fi
exec ip netns exec zym-smb-cli unshare -m --propagation private sh -c '
    state="$1"; shift
    mkdir -p /etc/samba
    mount --bind "$state/client/etc" /etc/samba &&
    mount --bind "$state/client/resolv.conf" /etc/resolv.conf &&
    exec "$@"' sh "$state" "$@"
