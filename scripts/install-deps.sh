#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages that building and testing need, when missing.
# Usage: install-deps.sh [extra package...]
set -eu

# dpkg-dev and file: the package's dependencies (dpkg-shlibdeps); desktop-file-utils
# and appstream: the package test's checks of the menu entry and the metainfo.
# libmosquitto-dev and pkgconf: the MQTT bridge; mosquitto and mosquitto-clients: its tests' broker.
packages="g++ cmake make qt6-base-dev iproute2 xvfb xauth dpkg-dev file desktop-file-utils appstream"
packages="$packages libmosquitto-dev pkgconf mosquitto mosquitto-clients $*"

if ! command -v apt-get >/dev/null 2>&1 || ! command -v dpkg-query >/dev/null 2>&1; then
    echo "Not a Debian or Ubuntu system. Install these by hand: a C++17 compiler, CMake 3.25 or" \
         "later, Qt 6.4 or later (Widgets, Network, Test), iproute2 and Xvfb (Debian names:" \
         "$packages)."
    if command -v cmake >/dev/null 2>&1; then
        exit 0 # let the build say what is still missing
    fi
    exit 1
fi

missing=""
for package in $packages; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing="$missing $package"
    fi
done
[ -z "$missing" ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo=sudo
fi
echo "Installing:$missing"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q $missing
