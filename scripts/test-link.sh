#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds a private IPv6 link, plays nodes on one side with ternix36-sim and
# runs a command on the other side, then takes everything down again.
#
#   scripts/test-link.sh [OPTIONS] [--] COMMAND [ARG...]
#
#   --sim PROGRAM      the simulator (default: build/ternix36-sim)
#   --node NODE        a node on the link, KIND@ADDRESS[=NAME] (repeatable)
#   --node2 NODE       a node on a second link; the first --node2 builds it,
#                      so that the command's side has two interfaces
#   --log FILE         the simulator's datagram log (default: a temporary file)
#   --log2 FILE        the same for the second link
#   --report-every S   passed on to the simulators
#   --silent-after SECONDS@ADDRESS
#                      passed on to the simulator of the node at ADDRESS:
#                      the node sends nothing once SECONDS have passed
#
# Three network namespaces: the command's (interfaces t36link0 and t36link1)
# and one simulator namespace per link (t36sim0, t36sim1), joined by veth
# pairs. Each node ADDRESS is put on the simulator's interface without
# duplicate address detection; the command's side has fe80::ffff:1 on
# t36link0 and fe80::ffff:2 on t36link1 and no other address. As root the
# namespaces are made with `ip netns`; otherwise the script runs itself in an
# unprivileged user namespace (`unshare`) and holds the link's namespaces with
# processes of its own. It never touches the host's interfaces, routes or
# firewall, and removes everything it made on every way out.
#
# The command gets TERNIX36_LINK_IF (and TERNIX36_LINK2_IF), TERNIX36_SIM_LOG
# (and TERNIX36_SIM2_LOG), and the simulators' process ids TERNIX36_SIM_PID
# (and TERNIX36_SIM2_PID), so that it can silence a link's nodes. It exits
# with the command's status; with 77 when
# no namespace can be had here, except under CI=true, where that is 1.
set -euo pipefail

readonly SKIP=77
readonly LINK_IF=t36link0 LINK2_IF=t36link1 SIM_IF=t36sim0 SIM2_IF=t36sim1
readonly PROGRAM_ADDRESS=fe80::ffff:1 PROGRAM2_ADDRESS=fe80::ffff:2
here=$(cd "$(dirname "$0")" && pwd)

usage() {
    sed -n '2,/^set -euo/p' "$0" | sed -e '$d' -e 's/^# \{0,1\}//'
}
fail() {
    echo "test-link: $*" >&2
    exit 1
}
cannot_build() {
    if [ "${CI:-}" = true ]; then
        fail "cannot build the test link: $*"
    fi
    echo "test-link: skipped: cannot build the test link: $*" >&2
    exit $SKIP
}

arguments=("$@")
sim=$here/../build/ternix36-sim
nodes=() nodes2=() sim_options=() silences=() log="" log2=""
while [ $# -gt 0 ]; do
    case $1 in
    --sim) sim=${2:?--sim needs a program}; shift 2 ;;
    --node) nodes+=("${2:?--node needs KIND@ADDRESS[=NAME]}"); shift 2 ;;
    --node2) nodes2+=("${2:?--node2 needs KIND@ADDRESS[=NAME]}"); shift 2 ;;
    --log) log=${2:?--log needs a file}; shift 2 ;;
    --log2) log2=${2:?--log2 needs a file}; shift 2 ;;
    --report-every) sim_options+=(--report-every "${2:?--report-every needs seconds}"); shift 2 ;;
    --silent-after) silences+=("${2:?--silent-after needs SECONDS@ADDRESS}"); shift 2 ;;
    -h | --help) usage; exit 0 ;;
    --) shift; break ;;
    -*) fail "unknown option $1 (see --help)" ;;
    *) break ;;
    esac
done
[ $# -gt 0 ] || fail "no command to run (see --help)"
[ ${#nodes[@]} -gt 0 ] || fail "no --node given (see --help)"
[ -x "$sim" ] || fail "no simulator at $sim (build it first: make build)"

# Without root: once more, as root of a user namespace of our own, whose
# mapped root is the calling user.
if [ "$(id -u)" -ne 0 ] && [ -z "${TERNIX36_LINK_USERNS:-}" ]; then
    if ! unshare --user --map-root-user --net true 2>/dev/null; then
        cannot_build "not root, and unprivileged user namespaces are not allowed here"
    fi
    TERNIX36_LINK_USERNS=1 exec unshare --user --map-root-user --net -- "$0" "${arguments[@]}"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/ternix36-link.XXXXXX")
[ -n "$log" ] || log=$work/sim.log
[ -n "$log2" ] || log2=$work/sim2.log
namespaces=() holders=() sim_pids=() command_pid=""

# A namespace is known by its `ip netns` name as root, by the process that
# holds it in a user namespace; `ip link ... netns` takes either.
if [ -z "${TERNIX36_LINK_USERNS:-}" ]; then
    make_namespace() {
        local name=t36-$1-$$
        ip netns add "$name" || return 1
        namespaces+=("$name")
        ip -n "$name" link set lo up
        eval "$2=\$name"
    }
    # The words that run a command in the namespace, into the array `prefix`;
    # the command replaces them, so $! of a background start is the command's.
    enter() { prefix=(ip netns exec "$1"); }
else
    make_namespace() {
        unshare --net -- sleep 1000000 &
        local pid=$!
        holders+=("$pid")
        # Wait until the holder is in its own namespace.
        local tries=0
        while [ "$(readlink "/proc/$pid/ns/net" 2>/dev/null)" = "$(readlink /proc/self/ns/net)" ]; do
            tries=$((tries + 1))
            [ $tries -lt 100 ] || return 1
            sleep 0.05
        done
        nsenter --net="/proc/$pid/ns/net" ip link set lo up
        eval "$2=\$pid"
    }
    enter() { prefix=(nsenter --net="/proc/$1/ns/net" --); }
fi

in_namespace() {
    local prefix
    enter "$1"
    shift
    "${prefix[@]}" "$@"
}

stop() {
    local pid
    for pid in "$@"; do
        kill -TERM "$pid" 2>/dev/null || true
    done
    for pid in "$@"; do
        local tries=0
        while kill -0 "$pid" 2>/dev/null && [ $tries -lt 30 ]; do
            sleep 0.1
            tries=$((tries + 1))
        done
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
}

cleanup() {
    local status=$?
    trap - EXIT INT TERM HUP
    stop $command_pid "${sim_pids[@]}"
    local name
    for name in "${namespaces[@]}"; do
        ip netns del "$name" 2>/dev/null || true # takes its veth ends along
    done
    stop "${holders[@]}"
    rm -rf "$work"
    exit $status
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# What a run killed outright (SIGKILL runs no trap) left behind: namespaces
# named after a process that is gone, and the simulators inside them.
remove_leftovers() {
    local name pid
    for name in $(ip netns list 2>/dev/null | sed -n 's/^\(t36-\(prog\|sim\|sim2\)-[0-9]*\).*/\1/p'); do
        kill -0 "${name##*-}" 2>/dev/null && continue
        for pid in $(ip netns pids "$name" 2>/dev/null); do
            kill -KILL "$pid" 2>/dev/null || true
        done
        ip netns del "$name" 2>/dev/null || true
    done
}
[ -n "${TERNIX36_LINK_USERNS:-}" ] || remove_leftovers

make_namespace prog program_ns || cannot_build "cannot make a network namespace"

# One link: a veth pair from a simulator namespace to the command's, the
# nodes' addresses on the simulator's end, the program's address on the other.
build_link() {
    local label=$1 sim_if=$2 link_if=$3 program_address=$4
    shift 4
    local ns
    make_namespace "$label" ns || cannot_build "cannot make a network namespace"
    in_namespace "$ns" ip link add "$sim_if" type veth peer name "$link_if" \
        netns "$program_ns" || cannot_build "cannot make a veth pair"
    in_namespace "$ns" ip link set "$sim_if" addrgenmode none
    in_namespace "$program_ns" ip link set "$link_if" addrgenmode none
    local node_text address
    for node_text in "$@"; do
        address=${node_text#*@}
        address=${address%%=*}
        [ "$address" != "$program_address" ] || fail "$node_text: $address is the program side's address"
        in_namespace "$ns" ip -6 addr add "$address/64" dev "$sim_if" nodad ||
            fail "$node_text: cannot put $address on the link"
    done
    in_namespace "$program_ns" ip -6 addr add "$program_address/64" dev "$link_if" nodad
    in_namespace "$ns" ip link set "$sim_if" up
    in_namespace "$program_ns" ip link set "$link_if" up

    local tries=0
    while [ -n "$(in_namespace "$ns" ip -6 addr show dev "$sim_if" tentative)" ] ||
        [ -n "$(in_namespace "$program_ns" ip -6 addr show dev "$link_if" tentative)" ]; do
        tries=$((tries + 1))
        [ $tries -lt 100 ] || fail "addresses on $sim_if stay tentative"
        sleep 0.05
    done
    eval "${label}_ns=\$ns"
}

# Starts the simulator for one link and waits until it has bound its sockets.
start_simulator() {
    local sim_ns=$1 sim_if=$2 log_file=$3 output=$4
    shift 4
    local node_options=() node_text silence address
    for node_text in "$@"; do
        node_options+=(--node "$node_text")
        address=${node_text#*@}
        address=${address%%=*}
        for silence in "${silences[@]}"; do
            [ "${silence#*@}" != "$address" ] || node_options+=(--silent-after "$silence")
        done
    done
    local prefix
    enter "$sim_ns"
    "${prefix[@]}" "$sim" --interface "$sim_if" "${node_options[@]}" \
        --log "$log_file" "${sim_options[@]}" >"$output" 2>&1 &
    local pid=$!
    sim_pids+=("$pid")
    local tries=0
    until grep -qx ready "$output" 2>/dev/null; do
        if ! kill -0 "$pid" 2>/dev/null || [ $tries -ge 200 ]; then
            cat "$output" >&2
            fail "the simulator on $sim_if did not start"
        fi
        tries=$((tries + 1))
        sleep 0.05
    done
}

build_link sim "$SIM_IF" "$LINK_IF" "$PROGRAM_ADDRESS" "${nodes[@]}"
start_simulator "$sim_ns" "$SIM_IF" "$log" "$work/sim.out" "${nodes[@]}"
environment=(TERNIX36_LINK_IF=$LINK_IF "TERNIX36_SIM_LOG=$log" "TERNIX36_SIM_PID=${sim_pids[0]}")
if [ ${#nodes2[@]} -gt 0 ]; then
    build_link sim2 "$SIM2_IF" "$LINK2_IF" "$PROGRAM2_ADDRESS" "${nodes2[@]}"
    start_simulator "$sim2_ns" "$SIM2_IF" "$log2" "$work/sim2.out" "${nodes2[@]}"
    environment+=(TERNIX36_LINK2_IF=$LINK2_IF "TERNIX36_SIM2_LOG=$log2" "TERNIX36_SIM2_PID=${sim_pids[1]}")
fi

# In the background, so that a signal reaches the trap at once.
enter "$program_ns"
"${prefix[@]}" env "${environment[@]}" "$@" &
command_pid=$!
status=0
wait "$command_pid" || status=$?
command_pid=""
if [ $status -ne 0 ]; then
    for output in "$work"/sim*.out; do
        echo "test-link: simulator output ($output):" >&2
        cat "$output" >&2
    done
fi
exit $status
