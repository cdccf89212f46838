#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts the real program under the offscreen platform, lets the closer plugin
# close its window once it is shown, and checks that the program then ends by
# itself with status 0.
set -u
program=$1
plugins=$2

output=$(QT_QPA_PLATFORM=offscreen QT_PLUGIN_PATH="$plugins" QT_QPA_GENERIC_PLUGINS=closewindows \
    timeout 30 "$program" 2>&1)
status=$?
printf '%s\n' "$output"
if [ "$status" -ne 0 ]; then
    echo "smoke: the program ended with status $status" >&2
    exit 1
fi
if ! printf '%s\n' "$output" | grep -q '^closing 1 window(s): MainWindow_t$'; then
    echo "smoke: the main window was never shown" >&2
    exit 1
fi
echo "smoke: window shown, closed, program ended with 0"
