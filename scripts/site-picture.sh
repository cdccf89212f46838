#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# docs/site.png: the window of a whole site, two bridges on three links, as
# ternix36-control --site shows it. A private mosquitto on a free loopback
# port holds each node's latest report as the bridges publish it (the reports
# are the simulator's own datagrams); the window runs on its own Xvfb server.
#
#   scripts/site-picture.sh [PROGRAM [OUTPUT]]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
program=${1:-$root/build/ternix36-control}
output=${2:-$root/docs/site.png}
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
printf 'listener %s 127.0.0.1\nallow_anonymous true\npersistence false\n' "$port" >"$work/mosquitto.conf"
mosquitto -c "$work/mosquitto.conf" >"$work/mosquitto.log" 2>&1 &
for _ in $(seq 50); do
    mosquitto_pub -p "$port" -t ternix36/ping -n 2>/dev/null && break
    sleep 0.1
done

heard=$(($(date +%s%3N) - 3000))
# report BRIDGE LINK ADDRESS DATAGRAM
report() {
    mosquitto_pub -p "$port" -r -t "ternix36/$1/$2/$3/report" \
        -m "{\"heard\":$heard,\"datagram\":\"$4\"}"
}
name() { printf '%02x%s' "${#1}" "$(printf '%s' "$1" | od -An -tx1 | tr -d ' \n')"; }
report pi4 enp3s0 fe80::10 "00100108a00f00005c110000$(name 'Desk lamp')"
report pi4 enp3s0 fe80::11 "00200109000000000000000000$(name Kettle)"
report pi4 enp3s0 fe80::12 "00110108d70000005e010000$(name 'Hall sensor')"
report pi4 enp4s0 fe80::10 "00100108a00f00005c110000$(name 'Garage lamp')"
report pi4 enp4s0 fe80::14 "0030010180$(name 'Ceiling light')"
report hall eth1 fe80::15 "00210103"
report hall eth1 fe80::13 "00120108d70000005e010000$(name 'Porch sensor')"
mosquitto_pub -p "$port" -r -t ternix36/hall/eth1/fe80::13/availability -m offline

xvfb-run -a -s '-screen 0 1100x1000x24' bash -c '
    "$1" --site "mqtt://127.0.0.1:$2" -geometry 760x900+0+0 &
    sleep 4
    import -window root -crop 760x900+0+0 "$3"
    kill %1' _ "$program" "$port" "$output"
echo "wrote $output"
