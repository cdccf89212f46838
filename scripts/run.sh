#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts the program, unless there is no display for it to open its window on.
set -eu
program=$1

if [ "$(uname -s)" = Linux ] && [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
    echo "No display to open the window on: run 'xvfb-run make run', or set QT_QPA_PLATFORM=offscreen." >&2
    exit 1
fi
exec "$program"
