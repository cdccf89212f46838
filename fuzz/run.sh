#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every fuzz target, one after the other, for a given time each.
# Usage: tests/isolated.sh fuzz/run.sh BUILD_DIR SECONDS [TARGET...]
# (TARGET: route, reader; default both). Inside the private network namespace
# it adds a veth link, so that the panels have an interface to scope their
# node addresses with; nothing they send can leave the namespace.
#
# New inputs go to BUILD_DIR/fuzz-corpus/TARGET; the seed corpus and the
# regressions in fuzz/ are read only. A crash is written to
# BUILD_DIR/fuzz-artifacts/ and ends the run with a non-zero status.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$1
seconds=$2
shift 2
targets=${*:-route reader}

if [ -z "${TERNIX36_TEST_NETNS:-}" ]; then
    echo "fuzz/run.sh: run it through tests/isolated.sh" >&2
    exit 2
fi
ip link add fz0 type veth peer name fz1
ip link set fz0 up
ip link set fz1 up
ip addr add fe80::f0/64 dev fz0 nodad

# A small quarantine keeps the memory of a long run flat; leaks that Qt's
# fonts make once per process are suppressed (see tests/lsan.supp).
export ASAN_OPTIONS="halt_on_error=1:quarantine_size_mb=16:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:${UBSAN_OPTIONS:-}"
export LSAN_OPTIONS="suppressions=$here/../tests/lsan.supp:print_suppressions=0:${LSAN_OPTIONS:-}"

mkdir -p "$build/fuzz-artifacts" "$build/fuzz-logs"
passed=0
for target in $targets; do
    work="$build/fuzz-corpus/$target"
    log="$build/fuzz-logs/$target.log"
    mkdir -p "$work"
    # Read-only inputs: the seeds, and the regressions once there are any.
    inputs="$here/corpus/$target"
    if [ -d "$here/regressions/$target" ]; then
        inputs="$inputs $here/regressions/$target"
    fi
    echo "== fuzz_$target for $seconds s (log: $log)"
    status=0
    "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
        -dict="$here/ternix36.dict" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$build/fuzz-artifacts/$target-" \
        "$work" $inputs >"$log" 2>&1 || status=$?
    grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::|SUMMARY|ERROR|^fuzz_' "$log" || true
    if [ "$status" -ne 0 ]; then
        tail -n 60 "$log"
        echo "fuzz_$target failed with status $status; the input is in $build/fuzz-artifacts/" >&2
        echo "fuzz: $passed passed, 1 failed"
        exit "$status"
    fi
    passed=$((passed + 1))
done
echo "fuzz: $passed passed, 0 failed"
