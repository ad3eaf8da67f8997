#!/usr/bin/env bash
# Builds the Debian packages once (scripts/package.sh, in BUILD_DIR), checks
# their control fields and runs lintian on them, then installs them into a
# fresh Debian 12 root and uses, removes and purges them there
# (packaging/check/in-root.sh). Needs root, for the chroot.
#
# The clean root is made once with debootstrap and kept as a tarball in
# ZYM_PACKAGE_ROOT_CACHE (default /var/cache/zymwindows-package-check),
# together with the .deb files apt downloads into it; every run unpacks a
# new copy, so no run sees what another one installed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build-deb}"
cache="${ZYM_PACKAGE_ROOT_CACHE:-/var/cache/zymwindows-package-check}"
mirror=http://deb.debian.org/debian
# What the clean root holds besides Debian's minimal system: the tools that
# build the consumer program.
root_tools=cmake,g++,make,pkg-config
case "${1:-}" in
    -h|--help)
        echo "Usage: scripts/package-check.sh"
        echo "Builds the Debian packages in \$BUILD_DIR (default build-deb/), runs lintian on them"
        echo "and tests them in a clean Debian 12 root (as root; the root is cached in"
        echo "\$ZYM_PACKAGE_ROOT_CACHE, default /var/cache/zymwindows-package-check)."
        exit 0 ;;
    "") ;;
    *) echo "scripts/package-check.sh: unknown option '$1' (see --help)" >&2; exit 2 ;;
esac

fail() {
    echo "package check FAILED: $*" >&2
    exit 1
}
[ "$(id -u)" -eq 0 ] || fail "needs root to make and enter the clean Debian root"
for tool in debootstrap lintian unshare chroot; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/deps.sh installs it)"
done

started=$SECONDS
BUILD_DIR="$build" "$root/scripts/package.sh" >/dev/null
echo "::: packages built in $((SECONDS - started)) s"
debs=("$build"/packages/*.deb)
[ ${#debs[@]} -eq 3 ] || fail "expected 3 packages, found: ${debs[*]}"

field() { dpkg-deb -f "$build/packages/$1_1.70_$(dpkg --print-architecture).deb" "$2"; }
library_depends="$(field libzymwindows1 Depends)"
for needed in "libc6 (>=" libsqlite3-0 libuuid1 libx11-6 libxft2 libdw1 libpam0g; do
    [[ "$library_depends" == *"$needed"* ]] || fail "libzymwindows1 does not depend on $needed: $library_depends"
done
[[ ! "$library_depends" =~ (-dev|samba)[,\ ]|samba$ ]] ||
    fail "libzymwindows1 depends on more than its binaries need: $library_depends"
[ "$(field libzymwindows-dev Depends)" = "libzymwindows1 (= 1.70)" ] || fail "libzymwindows-dev Depends: $(field libzymwindows-dev Depends)"
[[ "$(field zymwin Depends)" == *"libzymwindows1 (= 1.70)"* ]] || fail "zymwin Depends: $(field zymwin Depends)"
shlibs="$(dpkg-deb --ctrl-tarfile "$build/packages/libzymwindows1_1.70_$(dpkg --print-architecture).deb" |
    tar -xOf - ./shlibs)"
grep -qx "libZymWindows 1 libzymwindows1 (>= 1.70)" <<<"$shlibs" || fail "shlibs: $shlibs"
grep -qx "libZym 1 libzymwindows1 (>= 1.70)" <<<"$shlibs" || fail "shlibs: $shlibs"

started=$SECONDS
lintian --fail-on error,warning "${debs[@]}" ||
    fail "lintian reports errors or warnings: fix each, or explain it in README and override it"
echo "::: lintian: no errors, no warnings ($((SECONDS - started)) s)"

started=$SECONDS
key="$(printf '%s\n' bookworm "$mirror" "$root_tools" | sha256sum | cut -c1-16)"
tarball="$cache/root-$key.tar"
if [ ! -f "$tarball" ]; then
    echo "::: making the clean Debian 12 root (once per machine)"
    mkdir -p "$cache"
    fresh="$cache/making-$key"
    rm -rf "$fresh"
    debootstrap --variant=minbase --include="$root_tools" bookworm "$fresh" "$mirror" >"$cache/debootstrap.log" ||
        fail "debootstrap: $(tail -20 "$cache/debootstrap.log")"
    cat >"$fresh/etc/apt/sources.list" <<EOF
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb ${mirror%/debian}/debian-security bookworm-security main
EOF
    # The first useradd leaves backups of the account files behind: have
    # them in the clean root, so the check's accounts change no file list.
    chroot "$fresh" sh -c 'useradd -M zymsetup && userdel zymsetup && apt-get clean' ||
        fail "could not prepare the clean root"
    tar --numeric-owner -C "$fresh" -cf "$tarball.part" . && mv "$tarball.part" "$tarball"
    rm -rf "$fresh"
fi
test_root="$build/package-root"
[ ! -d "$test_root" ] || ! mountpoint -q "$test_root/dev" || fail "$test_root/dev is still mounted"
rm -rf "$test_root"
mkdir -p "$test_root" "$cache/archives/partial"
tar --numeric-owner -C "$test_root" -xf "$tarball"
cp /etc/resolv.conf "$test_root/etc/resolv.conf"
work="$test_root/tmp/zymcheck"
mkdir -p "$work/debs"
cp "${debs[@]}" "$work/debs/"
cp -r "$root/tests/install/consumer" "$work/consumer"
cp "$root/packaging/check/in-root.sh" "$work/in-root.sh"
echo "::: clean root ready in $((SECONDS - started)) s"

# A mount and process namespace of its own: its mounts and its processes end
# with it, whatever happens inside. The root sees none of this environment.
started=$SECONDS
unshare --mount --pid --fork --kill-child -- bash -c '
    set -e
    mount -t proc proc "$1/proc"
    mount --rbind /dev "$1/dev"
    mount --bind "$2" "$1/var/cache/apt/archives"
    exec env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root chroot "$1" /tmp/zymcheck/in-root.sh /tmp/zymcheck
' check "$test_root" "$cache/archives"
echo "::: checked in the clean root in $((SECONDS - started)) s"
rm -rf "$test_root"
