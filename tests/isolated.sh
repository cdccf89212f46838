#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a test in a network namespace of its own with only loopback up, so that
# no probe can leave the machine and port 4444 is never shared with a running
# program. Without namespaces (no root, no user namespaces) it runs the test
# on the host's network and says so.
set -eu

if [ "${1:-}" = --inside ]; then
    shift
    ip link set lo up
    TERNIX36_TEST_NETNS=1 exec "$@"
fi

if [ "$(id -u)" -eq 0 ] && unshare --net true 2>/dev/null; then
    exec unshare --net -- "$0" --inside "$@"
fi
if unshare --net --map-root-user true 2>/dev/null; then
    exec unshare --net --map-root-user -- "$0" --inside "$@"
fi
if [ "${CI:-}" = true ]; then
    echo "isolated.sh: cannot create a network namespace, and CI must run isolated" >&2
    exit 1
fi
echo "isolated.sh: no private network namespace here; running on the host's network" >&2
exec "$@"
