#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages that building and testing need, when missing.
# Usage: install-deps.sh [--sanitizers] [extra package...]
# --sanitizers adds clang and its runtime libraries (sanitizers, libFuzzer): the
# installed clang's own version of them, else the release's default clang's.
set -eu

sanitizers=false
if [ "${1:-}" = --sanitizers ]; then
    sanitizers=true
    shift
fi
clang_runtime() {
    major=$(clang --version 2>/dev/null | sed -n 's/.*clang version \([0-9][0-9]*\).*/\1/p' | head -n 1)
    versioned=libclang-rt-$major-dev
    if [ -n "$major" ] && { dpkg-query -W "$versioned" >/dev/null 2>&1 || apt-cache show "$versioned" >/dev/null 2>&1; }; then
        echo "$versioned"
    else
        echo "clang libclang-rt-dev"
    fi
}

# dpkg-dev and file: the package's dependencies (dpkg-shlibdeps); desktop-file-utils
# and appstream: the package test's checks of the menu entry and the metainfo;
# tshark (with dumpcap): the dissector's tests and the end-to-end capture;
# qt6-base-private-dev: a test turns accessibility on as a screen reader does;
# libmosquitto-dev, libssl-dev and pkgconf: the MQTT bridge; mosquitto and mosquitto-clients:
# its tests' broker; openssl: their TLS material.
packages="g++ cmake make qt6-base-dev qt6-base-private-dev iproute2 xvfb xauth dpkg-dev file desktop-file-utils appstream tshark"
packages="$packages libmosquitto-dev libssl-dev pkgconf mosquitto mosquitto-clients openssl $*"
if $sanitizers; then
    packages="$packages $(clang_runtime)"
fi

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
# Wireshark's question whether users may capture: no, and nothing asked.
echo "wireshark-common wireshark-common/install-setuid boolean false" | $sudo debconf-set-selections
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q $missing
