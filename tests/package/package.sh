#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: package.sh CPACK-CONFIG WORK-DIR SMOKE-SCRIPT PLUGIN-DIR [EXTRA-PROGRAM...]
# Builds the .deb with CPack into WORK-DIR, unpacks it there with dpkg -x and
# checks the unpacked tree: every program and man page is there, the menu
# entry and the AppStream metadata validate and point at what the package
# holds, and the installed program starts and ends cleanly.
set -eu
config=$1
work=$2
smoke=$3
plugins=$4
shift 4
programs="ternix36-control $*"

fail() {
    echo "package: $*" >&2
    exit 1
}

rm -rf "$work"
mkdir -p "$work"
cpack --config "$config" -B "$work" >"$work/cpack.log" 2>&1 || {
    cat "$work/cpack.log"
    fail "cpack failed"
}
set -- "$work"/*.deb
[ $# -eq 1 ] && [ -f "$1" ] || fail "expected one .deb in $work, found: $*"
deb=$1
echo "package: built $(basename "$deb")"

depends=$(dpkg-deb -f "$deb" Depends)
echo "package: Depends: $depends"
[ "$(dpkg-deb -f "$deb" Package)" = ternix36-control ] || fail "wrong package name"

root=$work/root
dpkg -x "$deb" "$root"
usr=$root/usr

for program in $programs; do
    [ -x "$usr/bin/$program" ] || fail "usr/bin/$program missing"
    gzip -t "$usr/share/man/man1/$program.1.gz" || fail "man page of $program missing"
done
if [ -e "$usr/bin/ternix36-bridge" ]; then
    unit=$usr/lib/systemd/system/ternix36-bridge.service
    [ -f "$unit" ] || fail "no systemd unit for the bridge"
    started=$(sed -n 's/^ExecStart=\([^ ]*\).*/\1/p' "$unit")
    [ -x "$root$started" ] || fail "the bridge's unit starts '$started', which the package does not hold"
    grep -qx 'DynamicUser=yes' "$unit" || fail "the bridge's unit does not run as a dynamic user"
fi
[ -f "$usr/share/doc/ternix36-control/copyright" ] || fail "copyright file missing"
gzip -t "$usr/share/doc/ternix36-control/changelog.gz" || fail "changelog missing"

# Every library a program links comes from a package that Depends names, by
# whatever name the release gives that package.
depended=$(printf '%s\n' "$depends" | tr ',|' '\n\n' | sed 's/^ *//; s/[ (:].*//')
# The history window's module, in the program's own folder of the library folder.
module=$(find "$usr/lib" -path '*/ternix36-control/ternix36-history.so')
[ -n "$module" ] || fail "no history module in a ternix36-control folder of usr/lib"
for program in $programs $module; do
    file=$program
    [ -f "$file" ] || file=$usr/bin/$program
    needed=$(objdump -p "$file" | sed -n 's/^ *NEEDED *//p')
    printf '%s\n' "$needed" | grep -q '^libQt6Core\.' || fail "$program does not link Qt Core"
    for library in $needed; do
        path=$(ldd "$file" | sed -n "s|^[[:space:]]*$library => \(/[^ ]*\) .*|\1|p")
        [ -n "$path" ] || fail "$program: $library not found on this system"
        # dpkg knows a file by the path its package gave, with or without /usr.
        real=$(realpath "$path")
        owner=$(dpkg -S "$real" 2>/dev/null || dpkg -S "${real#/usr}" 2>/dev/null) ||
            fail "no package holds $path"
        owner=${owner%%[:,]*}
        printf '%s\n' "$depended" | grep -qxF "$owner" || fail "Depends lacks $owner, which holds $library of $program"
    done
done

desktop=$usr/share/applications/ternix36-control.desktop
[ -f "$desktop" ] || fail "no menu entry in usr/share/applications"
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the menu entry"
field() {
    sed -n "s/^$1=//p" "$desktop"
}
[ -x "$usr/bin/$(field Exec)" ] || fail "the menu entry starts '$(field Exec)', which the package does not hold"
icon=$(field Icon)
[ -f "$usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no icon '$icon' in the package"
printf '%s\n' "$(field Categories)" | grep -q '\bNetwork;' || fail "the menu entry is not under Network"

set -- "$usr"/share/metainfo/*.metainfo.xml
[ $# -eq 1 ] && [ -f "$1" ] || fail "expected one metainfo file, found: $*"
metainfo=$1
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects $(basename "$metainfo")"
# The whole tree as a software centre reads it: metainfo, menu entry, icon.
appstreamcli validate-tree --no-net "$root" || fail "appstreamcli rejects the installed tree"
grep -q '<launchable type="desktop-id">ternix36-control.desktop</launchable>' "$metainfo" ||
    fail "the metainfo does not launch the menu entry"

# The Wireshark dissector, in Wireshark's folder of global Lua plugins.
set -- $(find "$root" -path '*/wireshark/plugins/ternix36.lua')
[ $# -eq 1 ] || fail "expected the dissector once in a wireshark/plugins folder, found: $*"

"$smoke" "$usr/bin/ternix36-control" "$plugins" || fail "the installed program did not start and end cleanly"
echo "package: $(basename "$deb") unpacks, validates and starts"
