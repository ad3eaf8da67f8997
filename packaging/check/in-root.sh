#!/bin/bash
# Runs as root inside a clean Debian 12 root that has the packages in
# $1/debs and a program's sources in $1/consumer: installs the
# packages as a user would, uses them from outside any source tree, then
# removes and purges them and compares the root's files with what it held
# before.
set -euo pipefail
work="$1"
registry=/var/lib/zymwindows/registry
packages=(libzymwindows1 libzymwindows-dev zymwin)
export DEBIAN_FRONTEND=noninteractive LC_ALL=C.UTF-8

step() { echo "::: package check: $*"; }
fail() {
    echo "package check FAILED: $*" >&2
    exit 1
}
# Every file and folder of the root but the kernel's, the scratch space and
# apt's and dpkg's own records (the package state is checked on its own).
snapshot() {
    find / -xdev \( -path /proc -o -path /sys -o -path /dev -o -path /run -o -path /tmp \
        -o -path /var/cache/apt -o -path /var/lib/apt -o -path /var/log \
        -o -path /var/cache/debconf -o -path /var/cache/ldconfig -o -path /var/lib/dpkg \) -prune \
        -o -print | sort >"$1"
}
owner_mode() { stat -c '%U:%G %a' "$1"; }

snapshot "$work/before.txt"
dpkg-query -W -f '${Package}\n' | sort >"$work/packages-before.txt"

step "apt-get install ./*.deb"
apt-get update -qq || fail "apt-get update in the clean root"
(cd "$work/debs" && apt-get install -y -qq --no-install-recommends ./*.deb) >"$work/install.log" ||
    fail "apt-get install: $(tail -20 "$work/install.log")"
for package in "${packages[@]}"; do
    version="$(dpkg-query -W -f '${Version}' "$package")"
    [ "$version" = "1.70" ] || fail "$package is installed at version '$version', not 1.70"
done
[ "$(owner_mode "$registry")" = "root:root 755" ] ||
    fail "$registry is '$(owner_mode "$registry" 2>&1)' after install, not root:root 755"
for library in libZymWindows.so.1 libZym.so.1; do
    path="$(ldconfig -p | awk -v name="$library" '$1 == name { print $NF; exit }')"
    [ -n "$path" ] || fail "the dynamic linker does not know $library"
    soname="$(objdump -p "$path" | awk '$1 == "SONAME" { print $2 }')"
    [ "$soname" = "$library" ] || fail "$path has soname '$soname'"
done

cd /
step "zymwin demo"
zymwin demo >"$work/demo.log" 2>&1 || fail "zymwin demo: $(tail -20 "$work/demo.log")"

step "a program built with find_package(ZymWindows), and with pkg-config"
expected=$'The other end of the pipe has disconnected.\nThe service is running.'
cmake -S "$work/consumer" -B "$work/consumer-build" >"$work/consumer.log" 2>&1 &&
    cmake --build "$work/consumer-build" >>"$work/consumer.log" 2>&1 ||
    fail "building with find_package(ZymWindows): $(tail -30 "$work/consumer.log")"
[ "$("$work/consumer-build/consumer")" = "$expected" ] || fail "the find_package-built program failed"
# shellcheck disable=SC2046 # pkg-config's flags are words of their own
g++ -o "$work/consumer-pc" "$work/consumer/main.cpp" $(pkg-config --cflags --libs zymwindows) ||
    fail "building with pkg-config"
[ "$("$work/consumer-pc")" = "$expected" ] || fail "the pkg-config-built program failed"

step "the machine-wide registry"
zymwin reg add 'HKLM\SOFTWARE\ZymPackageCheck' /v Installed /d yes /f >/dev/null || fail "zymwin reg add in HKLM"
[ -f "$registry/HKEY_LOCAL_MACHINE.db" ] || fail "HKEY_LOCAL_MACHINE is not kept in $registry"

step "zymwin impersonate and its PAM service"
# An expired account is named as such only by the zymwindows service's own
# pam_unix line; PAM's "other" service would refuse it as a plain failure.
useradd -M -s /usr/sbin/nologin zymcheck
echo "zymcheck:Check-Password-1" | chpasswd
echo Wrong-Password | zymwin impersonate zymcheck >"$work/wrong.log" 2>&1 && fail "a wrong password logged on"
grep -q "The user name or password is incorrect" "$work/wrong.log" ||
    fail "a wrong password gave: $(cat "$work/wrong.log")"
echo Check-Password-1 | zymwin impersonate zymcheck --touch /tmp/zymcheck-file >"$work/logon.log" 2>&1 ||
    fail "the logon failed: $(cat "$work/logon.log")"
[ "$(stat -c %U /tmp/zymcheck-file)" = zymcheck ] || fail "the impersonating thread's file is not zymcheck's"
chage -E 0 zymcheck
echo Check-Password-1 | zymwin impersonate zymcheck >"$work/expired.log" 2>&1 && fail "an expired account logged on"
grep -q "The user's account has expired" "$work/expired.log" ||
    fail "the PAM service zymwindows was not used: an expired account gave $(cat "$work/expired.log")"
userdel zymcheck
rm -f /tmp/zymcheck-file

step "zymwin dump crash and its helper"
mkdir -p "$work/crash"
# In a shell of its own, which reports the expected crash to nobody.
bash -c 'zymwin dump crash "$1" >"$2" 2>&1; exit $?' crash "$work/crash/" "$work/crash.log" 2>/dev/null &&
    fail "zymwin dump crash did not crash"
report="$(sed -n 's/^report: //p' "$work/crash.log")"
[ -s "$report" ] || fail "no crash report: $(cat "$work/crash.log")"
grep -q "EIP:0x" "$report" || fail "the crash report has no call stack (the dump helper was not run)"

step "apt-get remove keeps the registry and the PAM service file"
apt-get remove -y -qq "${packages[@]}" >"$work/remove.log" || fail "apt-get remove: $(cat "$work/remove.log")"
[ -f "$registry/HKEY_LOCAL_MACHINE.db" ] || fail "removing the packages took the registry"
[ -f /etc/pam.d/zymwindows ] || fail "removing the packages took the PAM service file (a conffile)"
[ ! -e /usr/bin/zymwin ] || fail "zymwin is still there after removal"

step "apt-get purge leaves nothing behind"
# dpkg forgets at removal the packages that have no conffiles; the library
# package stays known by its PAM service file until the purge.
known=()
for package in "${packages[@]}"; do
    if dpkg-query -W "$package" >/dev/null 2>&1; then known+=("$package"); fi
done
[ "${known[*]}" = libzymwindows1 ] || fail "after removal dpkg still knows: ${known[*]}"
apt-get purge -y -qq --autoremove "${known[@]}" >"$work/purge.log" || fail "apt-get purge: $(cat "$work/purge.log")"
[ ! -e /var/lib/zymwindows ] || fail "the purge left /var/lib/zymwindows"
[ ! -e /etc/pam.d/zymwindows ] || fail "the purge left /etc/pam.d/zymwindows"
for package in "${packages[@]}"; do
    if dpkg-query -W -f '${db:Status-Abbrev}' "$package" 2>/dev/null | grep -q .; then
        fail "dpkg still knows $package after the purge"
    fi
done
dpkg-query -W -f '${Package}\n' | sort >"$work/packages-after.txt"
diff -u "$work/packages-before.txt" "$work/packages-after.txt" >&2 ||
    fail "the purge left other packages than the root had before"
snapshot "$work/after.txt"
diff -u "$work/before.txt" "$work/after.txt" >&2 || fail "the root's files differ after the purge"
step "all passed"
