#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command while dumpcap records both test links, on the program's side
# of scripts/test-link.sh; the command finds the capture in TERNIX36_CAPTURE.
#
#   tests/e2e/capture.sh FILE COMMAND [ARG...]
#
# dumpcap writes to a pipe, so that every packet is in FILE as soon as it is
# captured and the command can read the capture while it still grows.
set -euo pipefail

capture=${1:?usage: capture.sh FILE COMMAND [ARG...]}
shift
: "${TERNIX36_LINK_IF:?run through scripts/test-link.sh}"
command -v dumpcap >/dev/null || {
    echo "capture.sh: no dumpcap (scripts/install-deps.sh installs it)" >&2
    exit 1
}

links=("$TERNIX36_LINK_IF")
[ -z "${TERNIX36_LINK2_IF:-}" ] || links+=("$TERNIX36_LINK2_IF")
options=()
for link in "${links[@]}"; do
    options+=(-i "$link")
done
rm -f "$capture"
dumpcap -q "${options[@]}" -w - >"$capture" 2>"$capture.log" &
dumpcap_pid=$!
trap 'kill "$dumpcap_pid" 2>/dev/null || true; wait "$dumpcap_pid" 2>/dev/null || true' EXIT

# dumpcap says it is capturing before it is: a marker to the discard port
# on each link, sent until the capture holds it, shows that it is.
for link in "${links[@]}"; do
    marker="capture-ready-$link"
    tries=0
    until grep -qa "$marker" "$capture"; do
        if ! kill -0 "$dumpcap_pid" 2>/dev/null || [ $tries -ge 200 ]; then
            cat "$capture.log" >&2
            echo "capture.sh: dumpcap does not capture on $link" >&2
            exit 1
        fi
        echo "$marker" >"/dev/udp/ff02::1%$link/9" || true
        tries=$((tries + 1))
        sleep 0.05
    done
done

TERNIX36_CAPTURE=$capture "$@"
