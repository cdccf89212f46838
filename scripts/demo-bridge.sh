#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# make demo-bridge: the demo's simulated nodes in an MQTT broker. A private
# mosquitto and ternix36-bridge run on the program side of the test link, and
# mosquitto_sub shows everything under ternix36/ until Ctrl-C.
#
#   scripts/demo-bridge.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
# shellcheck source=scripts/demo-common.sh
. "$here/demo-common.sh"

if [ "${1:-}" = --inside ]; then
    bridge=$2
    work=$(mktemp -d "${TMPDIR:-/tmp}/ternix36-demo-bridge.XXXXXX")
    pids=()
    trap 'kill "${pids[@]}" 2>/dev/null; wait; rm -rf "$work"' EXIT
    printf 'listener 1883 127.0.0.1\nallow_anonymous true\npersistence false\n' >"$work/mosquitto.conf"
    mosquitto -c "$work/mosquitto.conf" 2>"$work/mosquitto.log" &
    pids+=($!)
    sleep 0.5
    "$bridge" --interface "$TERNIX36_LINK_IF" --broker mqtt://127.0.0.1:1883 --probe-every 10 &
    pids+=($!)
    echo "demo-bridge: the broker's messages under ternix36/ (Ctrl-C ends the demo):" >&2
    mosquitto_sub -h 127.0.0.1 -p 1883 -v -t 'ternix36/#'
    exit 0
fi

exec "$here/test-link.sh" --sim "$build/ternix36-sim" \
    --log "$build/demo-sim.log" --report-every 5 \
    "${demo_nodes[@]}" \
    -- "$0" --inside "$build/ternix36-bridge"
