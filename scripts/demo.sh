#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# make demo: the program on your display, with one simulated node of each kind
# on a private test link (and a garage plug on a second link, to try the
# interface box). Closing the window or Ctrl-C takes the link down again.
#
#   scripts/demo.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
# shellcheck source=scripts/demo-common.sh
. "$here/demo-common.sh"

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
    echo "No display to open the window on: run 'xvfb-run make demo' to try it without one." >&2
    exit 1
fi
# The program runs in a network namespace of its own, where only the X
# server's socket file in /tmp/.X11-unix can be reached: not its abstract
# socket (xcb then falls back to the file), and not a display over TCP.
case ${DISPLAY:-} in
"" | :* | unix:*) ;;
*)
    echo "demo: DISPLAY=$DISPLAY is reached over the network, which the demo's namespace" \
         "cannot do; use a local display (:N)." >&2
    exit 1
    ;;
esac

# -geometry is Qt's own option (X11): room for every panel from the start.
echo "demo: the simulator logs every datagram to $build/demo-sim.log"
# The Kettle falls silent after a minute: "Scan" then marks it as not answering.
readonly KETTLE_SILENT_AFTER=60
echo "demo: the Kettle stops answering after $KETTLE_SILENT_AFTER s; press \"Scan\" to see it marked"
exec "$here/test-link.sh" --sim "$build/ternix36-sim" \
    --log "$build/demo-sim.log" --log2 "$build/demo-sim2.log" \
    --report-every 5 \
    "${demo_nodes[@]}" \
    --silent-after "$KETTLE_SILENT_AFTER@$(demo_address Kettle)" \
    --node2 "plug@fe80::2:10=Garage plug" \
    -- "$build/ternix36-control" -geometry "$demo_geometry"
