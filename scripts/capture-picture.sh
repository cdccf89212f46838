#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Takes docs/protocol.md's picture of Wireshark reading a capture with the
# dissector, docs/capture.png: the capture's first report selected and its
# TERNIX36 tree open, in a Wireshark window on an Xvfb display of its own.
#
#   scripts/capture-picture.sh [CAPTURE [OUTPUT]]
#
# CAPTURE defaults to docs/demo.pcapng (the end-to-end test's traffic between
# the program and the simulator), OUTPUT to docs/capture.png. Needs the
# Debian packages wireshark, xvfb, xauth, imagemagick and xdotool.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
readonly WIDTH=1000 HEIGHT=640 FRAME=2

fail() {
    echo "capture-picture: $*" >&2
    exit 1
}

if [ "${1:-}" = --inside ]; then
    capture=$2 output=$3 home=$4
    HOME=$home wireshark -X "lua_script:$root/share/wireshark/ternix36.lua" -r "$capture" \
        -g "$FRAME" >"$home/wireshark.out" 2>&1 &
    wireshark_pid=$!
    trap 'kill "$wireshark_pid" 2>/dev/null || true; wait "$wireshark_pid" 2>/dev/null || true' EXIT
    window=$(timeout 20 xdotool search --sync --onlyvisible --pid "$wireshark_pid" | head -n 1) ||
        fail "no Wireshark window (see $home/wireshark.out)"
    xdotool windowmove "$window" 0 0 windowsize "$window" "$WIDTH" "$HEIGHT"
    # A click on the selected packet for the keyboard, then to the details,
    # their last line (the TERNIX36 tree), opened; the pointer out of the way.
    sleep 2
    xdotool mousemove --window "$window" 500 137 click 1
    xdotool key Tab End Right
    xdotool mousemove "$WIDTH" "$HEIGHT"
    sleep 1
    import -window "$window" -strip -colors 64 "png8:$output"
    exit 0
fi

capture=${1:-$root/docs/demo.pcapng}
output=${2:-$root/docs/capture.png}
for tool in wireshark:wireshark xvfb-run:xvfb import:imagemagick xdotool:xdotool; do
    command -v "${tool%%:*}" >/dev/null 2>&1 || fail "missing ${tool%%:*}; install the Debian package ${tool#*:}"
done
[ -f "$capture" ] || fail "no capture at $capture"
home=$(mktemp -d "${TMPDIR:-/tmp}/ternix36-picture.XXXXXX")
trap 'rm -rf "$home"' EXIT
# A profile of its own: the columns that matter, no bytes pane.
mkdir -p "$home/.config/wireshark"
cat >"$home/.config/wireshark/preferences" <<'PREFERENCES'
gui.column.format: "No.", "%m", "Source", "%s", "Destination", "%d", "Info", "%i"
gui.layout_content_3: NONE
PREFERENCES
xvfb-run -a -s "-screen 0 ${WIDTH}x${HEIGHT}x24 -nolisten tcp" \
    "$0" --inside "$capture" "$output" "$home"
echo "capture-picture: $output"
