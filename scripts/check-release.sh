#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the commands of the README and docs/development.md as a new user of a
# Debian release would: in a chroot of that release, on a clean clone of the
# committed HEAD, as root.
#
#   scripts/check-release.sh [--fresh] RELEASE [TARGET...]
#
#   RELEASE   a Debian release that debootstrap knows (trixie, bookworm...)
#   TARGET    make targets to run, in order (default: test package lintian
#             test-asan); each is reported PASS or FAIL with its time
#   --fresh   throw the chroot away and debootstrap it again
#
# The chroot lives in build-release/RELEASE and is kept for the next run (its
# installed packages too; --fresh starts from nothing). It comes from the
# Debian mirror this machine's apt uses. Its root is made a mount point and
# gets proc, sys, dev, dev/pts and a tmpfs on run, which the tests' network
# namespaces need; all of it is unmounted again on every way out. Logs go to
# build-release/RELEASE-TARGET.log. Needs root; installs debootstrap when
# missing. Uncommitted changes are not tested.
set -eu

fresh=false
if [ "${1:-}" = --fresh ]; then
    fresh=true
    shift
fi
if [ $# -lt 1 ] || [ "$1" = --help ]; then
    sed -n '4,11p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
fi
release=$1
shift
targets=${*:-test package lintian test-asan}
[ "$(id -u)" -eq 0 ] || {
    echo "check-release: needs root (debootstrap, chroot, mounts)" >&2
    exit 1
}

top=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
out=$top/build-release
root=$out/$release
mkdir -p "$out"

# The first Debian archive in the host's apt sources, either format.
mirror=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources 2>/dev/null |
    sed -n -e 's#^deb  *\(\[[^]]*\]  *\)\{0,1\}\(https\{0,1\}://[^ ]*/debian\)/\{0,1\} .*#\2#p' \
        -e 's#^URIs:.*\(https\{0,1\}://[^ ]*/debian\)/\{0,1\}\( .*\)\{0,1\}$#\1#p' | head -n 1)
mirror=${mirror:-http://deb.debian.org/debian}

unmount_all() {
    if mountpoint -q "$root" 2>/dev/null; then
        umount -R "$root" 2>/dev/null || umount -R -l "$root"
    fi
}
trap unmount_all EXIT
trap 'exit 130' INT TERM HUP

if $fresh && [ -d "$root" ]; then
    unmount_all
    mountpoint -q "$root" && exit 1
    rm -rf --one-file-system "$root"
fi

if [ ! -f "$root/.bootstrapped" ]; then
    command -v debootstrap >/dev/null 2>&1 ||
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q -o DPkg::Lock::Timeout=600 debootstrap
    rm -rf --one-file-system "$root"
    echo "check-release: debootstrap $release from $mirror"
    debootstrap --variant=minbase --include=make,ca-certificates "$release" "$root" "$mirror" \
        >"$out/$release-debootstrap.log" 2>&1 || {
        tail -n 20 "$out/$release-debootstrap.log" >&2
        exit 1
    }
    {
        echo "deb $mirror $release main"
        echo "deb $mirror $release-updates main"
        echo "deb ${mirror%/debian}/debian-security $release-security main"
    } >"$root/etc/apt/sources.list"
    touch "$root/.bootstrapped"
fi
unmount_all # left over from a run that was killed
cp /etc/resolv.conf "$root/etc/resolv.conf"

# `ip netns` wants the root to be a mount point; private and slave mounts keep
# every mount and unmount here from reaching the host's tree.
mount --bind "$root" "$root"
mount --make-private "$root"
mount -t proc proc "$root/proc"
mount --rbind /sys "$root/sys"
mount --make-rslave "$root/sys"
mount --rbind /dev "$root/dev"
mount --make-rslave "$root/dev"
mount -t tmpfs -o mode=755 tmpfs "$root/run"

rm -rf "$root/root/ternix36-control"
git clone -q --no-checkout "$top" "$root/root/ternix36-control"
git -C "$root/root/ternix36-control" checkout -q "$(git -C "$top" rev-parse HEAD)"
echo "check-release: $release, commit $(git -C "$top" rev-parse --short HEAD)"

inside() {
    chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
        sh -c "cd /root/ternix36-control && $1"
}

failed=0
for target in $targets; do
    start=$(date +%s)
    if inside "make $target" >"$out/$release-$target.log" 2>&1; then
        verdict=PASS
    else
        verdict=FAIL
        failed=1
    fi
    echo "check-release: $verdict make $target ($(($(date +%s) - start)) s, log: $out/$release-$target.log)"
done

echo "check-release: seen in $release:"
inside 'for p in qt6-base-dev g++ cmake clang appstream lintian; do
    dpkg-query -W -f "  \${Package} \${Version}\n" $p 2>/dev/null || echo "  $p not installed"; done'
exit $failed
