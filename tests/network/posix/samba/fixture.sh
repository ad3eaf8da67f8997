#!/usr/bin/env bash
# Brings up the servers the remote network tests talk to, and takes them
# down again:
#
#   fixture.sh up STATE_DIR     fixture.sh down STATE_DIR
#
# Two network namespaces joined by a veth pair. The server side holds
#   10.213.0.1  a Samba AD domain controller (realm ZYMTEST.LAN, domain ZYMTEST)
#   10.213.0.4  a standalone smbd file server (workgroup ZYMFILES, shares alpha, beta)
#   10.213.0.5  a listener on port 445 that accepts and never answers
#   10.213.0.6  an address with nothing listening (connections refused)
# and the client side 10.213.0.2, with 10.213.0.3 pointed at a hardware
# address nobody has (packets vanish: a black hole). The tests run in the
# client namespace through run-client.sh, which shows them the client's own
# smb.conf and resolv.conf.
#
# "up" first clears whatever an interrupted run left, and fails loudly when
# anything is missing or does not come up. "down" kills only the processes
# it started (by their pid files and the namespaces' own process lists),
# removes the namespaces and the state directory.
set -euo pipefail

action="${1:-}"
state="${2:-}"
if [ -z "$action" ] || [ -z "$state" ]; then
    echo "usage: $0 up|down STATE_DIR" >&2
    exit 2
fi

NS_SERVER=zym-smb-srv
NS_CLIENT=zym-smb-cli
LINK_SERVER=zsmb-srv
LINK_CLIENT=zsmb-cli
DC_ADDRESS=10.213.0.1
CLIENT_ADDRESS=10.213.0.2
SILENT_ADDRESS=10.213.0.3
FILES_ADDRESS=10.213.0.4
HANG_ADDRESS=10.213.0.5
CLOSED_ADDRESS=10.213.0.6
ADMIN_PASSWORD='Zym-Admin-2024!'
USER_COUNT=40
HERE="$(cd "$(dirname "$0")" && pwd)"

fail() {
    echo "samba fixture: $*" >&2
    exit 1
}

log() {
    echo "samba fixture: $* (at ${SECONDS}s)"
}

stop_pidfile() {
    local pid
    pid="$(cat "$1" 2>/dev/null || true)"
    if [[ "$pid" =~ ^[0-9]+$ ]]; then
        kill -TERM "$pid" 2>/dev/null || true
    fi
}

stop_namespace_processes() {
    local ns="$1" pids
    ip netns list 2>/dev/null | grep -qw "$ns" || return 0
    pids="$(ip netns pids "$ns" 2>/dev/null || true)"
    [ -n "$pids" ] || return 0
    # Everything in these namespaces was started by this script.
    kill -TERM $pids 2>/dev/null || true
    for _ in $(seq 50); do
        pids="$(ip netns pids "$ns" 2>/dev/null || true)"
        [ -n "$pids" ] || return 0
        sleep 0.1
    done
    kill -KILL $pids 2>/dev/null || true
}

down() {
    for file in "$state"/pids/* "$state"/dc/run/*.pid "$state"/files/run/*.pid; do
        stop_pidfile "$file"
    done
    stop_namespace_processes "$NS_SERVER"
    stop_namespace_processes "$NS_CLIENT"
    ip netns del "$NS_SERVER" 2>/dev/null || true
    ip netns del "$NS_CLIENT" 2>/dev/null || true
    ip link del "$LINK_SERVER" 2>/dev/null || true
    rm -rf "$state"
}

need() {
    command -v "$1" >/dev/null 2>&1 || fail "'$1' is missing (see scripts/packages.txt)"
}

# Waits until a TCP port answers from the client namespace, while the
# server's process (its pid file under pids/) lives.
wait_port() {
    local address="$1" port="$2" what="$3" process="$4"
    for _ in $(seq 300); do
        kill -0 "$(cat "$state/pids/$process")" 2>/dev/null ||
            fail "$what ended: $(tail -20 "$state"/*/log/stdout 2>/dev/null)"
        if ip netns exec "$NS_CLIENT" timeout 1 bash -c "exec 3<>/dev/tcp/$address/$port" 2>/dev/null; then
            return 0
        fi
        sleep 0.1
    done
    fail "$what did not answer on $address:$port: $(tail -20 "$state"/*/log/stdout 2>/dev/null)"
}

# The domain controller's SMB logons go through its winbindd: until its
# socket exists (in the controller's own /run), session setups fail with
# NT_STATUS_INTERNAL_ERROR although port 445 answers.
wait_winbind() {
    local pid
    pid="$(cat "$state/pids/samba")"
    for _ in $(seq 300); do
        kill -0 "$pid" 2>/dev/null || fail "the domain controller ended: $(tail -20 "$state/dc/log/stdout")"
        [ -S "/proc/$pid/root/run/samba/winbindd/pipe" ] && return 0
        sleep 0.1
    done
    fail "the domain controller's winbindd did not start: $(tail -20 "$state/dc/log/stdout")"
}

network() {
    ip netns add "$NS_SERVER"
    ip netns add "$NS_CLIENT"
    ip link add "$LINK_SERVER" type veth peer name "$LINK_CLIENT"
    ip link set "$LINK_SERVER" netns "$NS_SERVER"
    ip link set "$LINK_CLIENT" netns "$NS_CLIENT"
    ip -n "$NS_SERVER" link set lo up
    ip -n "$NS_CLIENT" link set lo up
    for address in "$DC_ADDRESS" "$FILES_ADDRESS" "$HANG_ADDRESS" "$CLOSED_ADDRESS"; do
        ip -n "$NS_SERVER" addr add "$address/24" dev "$LINK_SERVER"
    done
    ip -n "$NS_CLIENT" addr add "$CLIENT_ADDRESS/24" dev "$LINK_CLIENT"
    ip -n "$NS_SERVER" link set "$LINK_SERVER" up
    ip -n "$NS_CLIENT" link set "$LINK_CLIENT" up
    ip -n "$NS_CLIENT" neigh replace "$SILENT_ADDRESS" lladdr 02:00:5a:59:4d:03 dev "$LINK_CLIENT" nud permanent
}

# The account data: USER_COUNT users without passwords (enough to fill more
# than one page of a display listing), a workstation's computer account, two
# global groups, a domain local group holding one of them and a user
# directly.
accounts_ldif() {
    local base="DC=zymtest,DC=lan" i
    for i in $(seq -w 1 "$USER_COUNT"); do
        printf 'dn: CN=zymuser%s,CN=Users,%s\nobjectClass: user\nsAMAccountName: zymuser%s\n\n' "$i" "$base" "$i"
    done
    printf 'dn: CN=WS1,CN=Computers,%s\nobjectClass: computer\nsAMAccountName: WS1$\nuserAccountControl: 4096\n\n' "$base"
    printf 'dn: CN=Zym Staff,CN=Users,%s\nobjectClass: group\nsAMAccountName: Zym Staff\ngroupType: -2147483646\n' "$base"
    for i in 01 02 03 04 05; do
        printf 'member: CN=zymuser%s,CN=Users,%s\n' "$i" "$base"
    done
    printf '\ndn: CN=Zym Admins,CN=Users,%s\nobjectClass: group\nsAMAccountName: Zym Admins\ngroupType: -2147483646\nmember: CN=zymuser01,CN=Users,%s\n\n' "$base" "$base"
    printf 'dn: CN=Zym Readers,CN=Users,%s\nobjectClass: group\nsAMAccountName: Zym Readers\ngroupType: -2147483644\nmember: CN=Zym Staff,CN=Users,%s\nmember: CN=zymuser06,CN=Users,%s\n\n' "$base" "$base" "$base"
}

domain_controller() {
    local dc="$state/dc"
    mkdir -p "$dc/run" "$dc/ncalrpc" "$dc/log"
    install -d -m 0750 "$dc/ntp"
    : >"$state/empty.conf"
    # In the server namespace, like everything else, so that "down" ends a
    # provisioning an interrupted run left behind. The DNS forwarder is the
    # closed address: names outside the realm fail at once (Kerberos asks
    # for several), where the outside world or the DC itself would be slow.
    ip netns exec "$NS_SERVER" samba-tool domain provision -s "$state/empty.conf" --quiet \
        --realm=ZYMTEST.LAN --domain=ZYMTEST --server-role=dc --dns-backend=SAMBA_INTERNAL \
        --adminpass="$ADMIN_PASSWORD" --targetdir="$dc" --host-name=dc1 --host-ip="$DC_ADDRESS" \
        --option="interfaces=lo $DC_ADDRESS/24" --option="bind interfaces only=yes" \
        --option="pid directory=$dc/run" --option="ncalrpc dir=$dc/ncalrpc" \
        --option="ntp signd socket directory=$dc/ntp" --option="log file=$dc/log/log.%m" \
        --option="dns forwarder=$CLOSED_ADDRESS" >"$dc/log/provision" 2>&1 ||
        fail "provisioning failed: $(tail -20 "$dc/log/provision")"
    log "domain provisioned"
    accounts_ldif >"$state/accounts.ldif"
    ip netns exec "$NS_SERVER" ldbadd -H "$dc/private/sam.ldb" "$state/accounts.ldif" >"$dc/log/accounts" 2>&1 ||
        fail "adding the accounts failed: $(tail -20 "$dc/log/accounts")"
    log "accounts added"
    echo "nameserver $DC_ADDRESS" >"$state/resolv.conf"
    ip netns exec "$NS_SERVER" unshare -m sh -c '
        mount -t tmpfs tmpfs /run && mkdir -p /run/samba &&
        mount --bind "$1" /etc/resolv.conf && mkdir -p "$2/varlog" && mount --bind "$2/varlog" /var/log/samba &&
        exec setsid samba -s "$2/etc/smb.conf" -F -M single --debug-stdout --maximum-runtime=1800' sh "$state/resolv.conf" "$dc" \
        >"$dc/log/stdout" 2>&1 </dev/null &
    echo $! >"$state/pids/samba"
}

# The smb.conf lines that keep the files of a server or client under DIR.
own_directories() {
    local dir="$1"
    mkdir -p "$dir"/{run,lock,state,cache,private,ncalrpc,log}
    printf '    %s\n' "pid directory = $dir/run" "lock directory = $dir/lock" \
        "state directory = $dir/state" "cache directory = $dir/cache" \
        "private dir = $dir/private" "ncalrpc dir = $dir/ncalrpc" "log file = $dir/log/log.%m"
}

file_server() {
    local files="$state/files"
    mkdir -p "$files"/{alpha,beta}
    cat >"$files/smb.conf" <<CONF
[global]
    workgroup = ZYMFILES
    netbios name = FILES1
    server role = standalone server
    interfaces = $FILES_ADDRESS/24
    bind interfaces only = yes
    disable netbios = yes
    smb ports = 445
    map to guest = bad user
$(own_directories "$files")
    load printers = no
    printing = bsd
    printcap name = /dev/null
    disable spoolss = yes

[alpha]
    path = $files/alpha
    guest ok = yes
    read only = yes

[beta]
    path = $files/beta
    guest ok = yes
    read only = yes
CONF
    ip netns exec "$NS_SERVER" unshare -m sh -c '
        mount -t tmpfs tmpfs /run && mkdir -p /run/samba &&
        exec setsid smbd -s "$1/smb.conf" -F --debug-stdout --no-process-group' sh "$files" \
        >"$files/log/stdout" 2>&1 </dev/null &
    echo $! >"$state/pids/smbd"
}

silent_listener() {
    ip netns exec "$NS_SERVER" /usr/bin/python3 -c '
import socket, sys, time
s = socket.socket()
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind((sys.argv[1], 445))
s.listen(64)
# The kernel completes the handshakes; nothing is ever read or written.
while True:
    time.sleep(3600)
' "$HANG_ADDRESS" >"$state/hang.log" 2>&1 </dev/null &
    echo $! >"$state/pids/hang"
}

client_config() {
    local client="$state/client"
    mkdir -p "$client/etc"
    cat >"$client/etc/smb.conf" <<CONF
[global]
    workgroup = ZYMTEST
    realm = ZYMTEST.LAN
    netbios name = CLIENT1
$(own_directories "$client")
    load printers = no
CONF
    cp "$state/resolv.conf" "$client/resolv.conf"
}

up() {
    for tool in ip unshare setsid samba smbd samba-tool ldbadd /usr/bin/python3 timeout; do
        need "$tool"
    done
    [ "$(id -u)" = 0 ] || fail "needs root (network namespaces, mounts)"
    down
    mkdir -p "$state/pids"
    network
    log "network up"
    domain_controller
    file_server
    silent_listener
    client_config
    wait_port "$FILES_ADDRESS" 445 "the file server" smbd
    wait_port "$HANG_ADDRESS" 445 "the silent listener" hang
    wait_port "$DC_ADDRESS" 445 "the domain controller" samba
    wait_port "$DC_ADDRESS" 389 "the domain controller's LDAP" samba
    wait_port "$DC_ADDRESS" 53 "the domain controller's DNS" samba
    wait_winbind
    log "servers answering"
}

case "$action" in
up) up ;;
down) down ;;
*) fail "unknown action '$action'" ;;
esac
