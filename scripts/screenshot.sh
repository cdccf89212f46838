#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# make screenshot: the picture of the main window that the README shows, taken
# from the program itself with the demo's simulated nodes (one of each kind) on
# a private test link. It runs its own Xvfb server, so it needs no display.
#
#   scripts/screenshot.sh [OPTIONS]
#
#   --program PROGRAM  the program to show (default: build/ternix36-control;
#                      /usr/bin/ternix36-control shows the installed one)
#   --sim PROGRAM      the simulator (default: ternix36-sim beside PROGRAM)
#   --output FILE      the PNG to write (default: docs/screenshot.png)
#   --adplug-on        switch the AD plug on before the program starts, so that
#                      it shows readings (around 115 W) instead of 0 W
#   --not-answering    the Kettle falls silent once it has answered; the
#                      picture shows its panel marked after one more "Scan"
#                      (docs/not-answering.png by default)
#   --dark             as a desktop with a dark colour scheme and an 11 pt font
#                      shows it: qt6ct's "darker" scheme and DejaVu Sans 11
#                      (needs the qt6ct package; default output
#                      docs/screenshot-dark.png)
#   --history          the Desk lamp's history window instead of the main
#                      window, opened from its panel's context menu:
#                      three minutes of the plug's reports (one every 5 s), its
#                      "Switch" pressed twice, and the pointer resting on the
#                      charts with their tooltip (docs/history.png, or
#                      docs/history-dark.png with --dark)
#
# The picture is taken once every node has answered the program's probe (the
# simulator's log says so) and successive captures of the window stay alike
# for most of a second; with --history, once that window has shown its minutes
# of reports and commands and the pointer's tooltip (it follows the clock, so
# it never stays alike). Needs root or unprivileged user namespaces, as
# scripts/test-link.sh does.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
# shellcheck source=scripts/demo-common.sh
. "$here/demo-common.sh"

readonly SCREEN=1280x1024x24
readonly ANSWER_TIMEOUT=20 SETTLE_TIMEOUT=15 # seconds
# The picture counts as settled when this many captures in a row, this far
# apart, are alike: a program still painting changes it within that time.
readonly SETTLE_CAPTURES=4 SETTLE_INTERVAL=0.25
# --not-answering: the Kettle's silence, counted from the simulator's start,
# and where "Scan" is in the window at the demo's size.
readonly SILENT_AFTER=6 SCAN_BUTTON=(115 14)
# --history: the node reports unasked at this period; its panel, where a
# right click opens its context menu, and its "Switch"; the history window's
# size and place, clear of that panel; "Switch" is pressed after each wait.
readonly HISTORY_NODE="Desk lamp" REPORT_EVERY=5
readonly HISTORY_PANEL=(60 110) HISTORY_SWITCH=(730 104)
readonly HISTORY_SIZE=(900 760) HISTORY_PLACE=(380 264)
readonly HISTORY_SWITCH_AFTER=(40 40) HISTORY_LAST_WAIT=100 # seconds
# Where the pointer rests on the charts for the picture: near the second
# "Switch" of the 10 minutes shown.
readonly HISTORY_POINTER=(735 200)

usage() {
    sed -n '2,/^set -euo/p' "$0" | sed -e '$d' -e 's/^# \{0,1\}//'
}
fail() {
    echo "screenshot: $*" >&2
    exit 1
}

# Runs on the program's side of the test link (test-link.sh's command): starts
# the program on $DISPLAY, waits until its window shows every node, writes the
# window's picture to PNG and closes the program.
take_picture() {
    local program=$1 png=$2 work=$3 adplug_on=$4 not_answering=$5 look=$6 history=$7
    local log=${TERNIX36_SIM_LOG:?not on a test link} link_if=${TERNIX36_LINK_IF:?not on a test link}
    local node_count=$((${#demo_nodes[@]} / 2))
    program_pid="" # global: the exit trap needs it after the return
    trap '[ -z "$program_pid" ] || { kill -TERM "$program_pid" 2>/dev/null; wait "$program_pid" 2>/dev/null; } || true' EXIT
    trap 'exit 143' TERM
    trap 'exit 130' INT

    # Waits until COUNT lines of the simulator's log carry both EVENT and NOTE
    # (and are about NODE, when named).
    wait_for_log() {
        local count=$1 event=$2 note=$3 what=$4 node="" deadline=$((SECONDS + ANSWER_TIMEOUT))
        [ $# -lt 5 ] || node="\"node\":\"$5\""
        until [ "$(grep -F "\"event\":\"$event\"" "$log" | grep -F "$node" |
            grep -cF "\"note\":\"$note\"")" -ge "$count" ]; do
            [ $SECONDS -lt $deadline ] || fail "$what: not within $ANSWER_TIMEOUT s (log: $log)"
            [ -z "$program_pid" ] || kill -0 "$program_pid" 2>/dev/null || fail "the program ended early"
            sleep 0.1
        done
    }

    # The AD plug's own switch-on command, as its panel's "Switch" sends it;
    # the answer goes to the program's port before the program is there.
    local option address switched=0
    for option in "${demo_nodes[@]}"; do
        case $adplug_on:$option in
        yes:adplug@*)
            address=${option#adplug@}
            address=${address%%=*}
            printf '\xC0\x20\x01\x01' >"/dev/udp/$address%$link_if/4444"
            switched=$((switched + 1))
            ;;
        esac
    done
    wait_for_log $switched sent command "the AD plug did not answer its switch-on command"

    local theme=()
    [ "$look" != dark ] || theme=(QT_QPA_PLATFORMTHEME=qt6ct "XDG_CONFIG_HOME=$work/config")
    env -u QT_SCALE_FACTOR -u QT_SCREEN_SCALE_FACTORS -u QT_STYLE_OVERRIDE -u WAYLAND_DISPLAY \
        -u QT_QPA_PLATFORMTHEME -u XDG_CONFIG_HOME "${theme[@]}" \
        QT_QPA_PLATFORM=xcb "$program" -geometry "$demo_geometry" >"$work/program.out" 2>&1 &
    program_pid=$!
    wait_for_log "$node_count" sent probe "not every node answered the program's probe"

    local window
    window=$(timeout 10 xdotool search --sync --onlyvisible --pid "$program_pid" | head -n 1) ||
        fail "the program's window did not appear"

    if [ "$not_answering" = yes ]; then
        # Once the Kettle is silent, "Scan" (the toolbar button beside the
        # interface box); five seconds later the title counts it.
        sleep "$SILENT_AFTER"
        xdotool mousemove --window "$window" "${SCAN_BUTTON[@]}" click 1
        timeout $((ANSWER_TIMEOUT)) xdotool search --sync --onlyvisible --name "1 not answering" \
            >/dev/null || fail "the silent Kettle was not marked"
        xdotool mousemove --window "$window" 0 0
    fi

    if [ "$history" = yes ]; then
        # As a user does: the panel's context menu, its one entry "History…".
        local shown deadline=$((SECONDS + ANSWER_TIMEOUT))
        shown=$(xdotool search --onlyvisible --pid "$program_pid" | wc -l)
        xdotool mousemove --window "$window" "${HISTORY_PANEL[@]}" click 3
        until [ "$(xdotool search --onlyvisible --pid "$program_pid" | wc -l)" -gt "$shown" ]; do
            [ $SECONDS -lt $deadline ] || fail "the panel's context menu did not appear"
            sleep 0.1
        done
        xdotool key Down Return
        local main_window=$window
        window=$(timeout 10 xdotool search --sync --onlyvisible --name "History: $HISTORY_NODE" |
            head -n 1) || fail "the history window did not appear"
        xdotool windowsize "$window" "${HISTORY_SIZE[@]}" windowmove "$window" "${HISTORY_PLACE[@]}"
        # Reports come in meanwhile; each "Switch" shows as a command marker
        # and its answer as a step of the power and the on/off state.
        local wait commands=0
        for wait in "${HISTORY_SWITCH_AFTER[@]}"; do
            sleep "$wait"
            xdotool mousemove --window "$main_window" "${HISTORY_SWITCH[@]}" click 1
            commands=$((commands + 1))
            wait_for_log $commands sent command "the plug did not answer its \"Switch\"" \
                "$HISTORY_NODE"
        done
        xdotool mousemove --window "$main_window" 0 0
        sleep "$HISTORY_LAST_WAIT"
        # The pointer on the charts, where the plug was switched: the line
        # through every strip and the tooltip with their values.
        xdotool mousemove --window "$window" "${HISTORY_POINTER[@]}"
        sleep 2
        # The tooltip is a window of its own: the screen where the history is.
        local geometry
        geometry=$(xdotool getwindowgeometry --shell "$window" |
            sed -n 's/^\(X\|Y\|WIDTH\|HEIGHT\)=//p' | tr '\n' ' ')
        read -r x y width height <<<"$geometry"
        import -window root -crop "${width}x${height}+${x}+${y}" -strip "png:$png"
        return
    fi

    # The answers are on their way or shown: capture until the picture stays.
    local deadline=$((SECONDS + SETTLE_TIMEOUT)) alike=1
    local previous=$work/previous.ppm current=$work/current.ppm
    import -window "$window" "ppm:$previous"
    while [ $alike -lt $SETTLE_CAPTURES ]; do
        sleep "$SETTLE_INTERVAL"
        import -window "$window" "ppm:$current"
        if cmp -s "$previous" "$current"; then
            alike=$((alike + 1))
        else
            alike=1
            mv "$current" "$previous"
        fi
        [ $SECONDS -lt $deadline ] || fail "the window did not settle within $SETTLE_TIMEOUT s"
    done
    # -strip: no time stamps, so the same window gives the same file.
    import -window "$window" -strip "png:$png"
}

if [ "${1:-}" = --take-picture ]; then
    shift
    take_picture "$@"
    exit 0
fi

program=$root/build/ternix36-control sim="" output="" adplug_on=no not_answering=no silences=() look=default
history=no sim_options=()
while [ $# -gt 0 ]; do
    case $1 in
    --program) program=${2:?--program needs a program}; shift 2 ;;
    --sim) sim=${2:?--sim needs a program}; shift 2 ;;
    --output) output=${2:?--output needs a file}; shift 2 ;;
    --adplug-on) adplug_on=yes; shift ;;
    --not-answering) not_answering=yes; shift ;;
    --dark) look=dark; shift ;;
    --history) history=yes; shift ;;
    -h | --help) usage; exit 0 ;;
    *) fail "unknown argument $1 (see --help)" ;;
    esac
done
[ -n "$sim" ] || sim=$(dirname "$program")/ternix36-sim
if [ "$not_answering" = yes ]; then
    [ -n "$output" ] || output=$root/docs/not-answering.png
    silences=(--silent-after "$SILENT_AFTER@$(demo_address Kettle)")
fi
if [ "$history" = yes ]; then
    sim_options=(--report-every "$REPORT_EVERY")
    if [ -z "$output" ]; then
        output=$root/docs/history.png
        [ $look != dark ] || output=$root/docs/history-dark.png
    fi
fi
if [ -z "$output" ]; then
    output=$root/docs/screenshot.png
    [ $look != dark ] || output=$root/docs/screenshot-dark.png
fi
[ -x "$program" ] || fail "no program at $program (build it first: make build)"
[ -x "$sim" ] || fail "no simulator at $sim (build it, or name it with --sim)"

missing=""
for tool in Xvfb:xvfb xauth:xauth mcookie:util-linux import:imagemagick xdotool:xdotool; do
    command -v "${tool%%:*}" >/dev/null 2>&1 || missing="$missing ${tool#*:}"
done
readonly DARK_SCHEME=/usr/share/qt6ct/colors/darker.conf
[ $look != dark ] || [ -e "$DARK_SCHEME" ] || missing="$missing qt6ct"
[ -z "$missing" ] || fail "missing tools; install the Debian packages:$missing"

work=$(mktemp -d "${TMPDIR:-/tmp}/ternix36-screenshot.XXXXXX")
xvfb_pid=""
cleanup() {
    local status=$?
    trap - EXIT INT TERM HUP
    if [ -n "$xvfb_pid" ]; then
        kill -TERM "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
    exit $status
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# A private X server on the first free display from :99 on, with a cookie of
# its own; -displayfd writes the number once it takes connections.
export XAUTHORITY=$work/Xauthority
: >"$XAUTHORITY"
cookie=$(mcookie)
for number in $(seq 99 199); do
    if [ -e "/tmp/.X$number-lock" ] || [ -e "/tmp/.X11-unix/X$number" ]; then
        continue
    fi
    xauth -q -f "$XAUTHORITY" add ":$number" . "$cookie"
    : >"$work/display"
    Xvfb ":$number" -screen 0 "$SCREEN" -dpi 96 -nolisten tcp -auth "$XAUTHORITY" \
        -displayfd 3 3>"$work/display" >"$work/xvfb.out" 2>&1 &
    xvfb_pid=$!
    while kill -0 "$xvfb_pid" 2>/dev/null && [ ! -s "$work/display" ]; do
        sleep 0.05
    done
    [ -s "$work/display" ] && break
    wait "$xvfb_pid" 2>/dev/null || true # taken meanwhile: the next number
    xvfb_pid=""
done
[ -n "$xvfb_pid" ] || { cat "$work/xvfb.out" >&2; fail "cannot start Xvfb"; }
export DISPLAY=:$number

# qt6ct reads its settings from a configuration folder of this run, never the user's.
if [ $look = dark ]; then
    mkdir -p "$work/config/qt6ct"
    printf '%s\n' "[Appearance]" "color_scheme_path=$DARK_SCHEME" "custom_palette=true" \
        "style=Fusion" "" "[Fonts]" 'general="DejaVu Sans,11,-1,5,50,0,0,0,0,0"' \
        'fixed="DejaVu Sans Mono,11,-1,5,50,0,0,0,0,0"' >"$work/config/qt6ct/qt6ct.conf"
fi

status=0
"$here/test-link.sh" --sim "$sim" --log "$work/sim.log" "${sim_options[@]}" "${demo_nodes[@]}" \
    "${silences[@]}" -- "$here/screenshot.sh" --take-picture "$program" "$work/screenshot.png" \
    "$work" "$adplug_on" "$not_answering" "$look" "$history" ||
    status=$?
if [ $status -ne 0 ]; then
    [ ! -s "$work/program.out" ] || { echo "screenshot: the program's output:" >&2; cat "$work/program.out" >&2; }
    exit $status
fi
mkdir -p "$(dirname "$output")"
mv "$work/screenshot.png" "$output"
echo "screenshot: $output"
