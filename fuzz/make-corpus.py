#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the seed corpora of the fuzz targets: fuzz/corpus/reader holds single
datagrams, the valid and edge-case reports of every kind; fuzz/corpus/route
holds step streams (fuzz/RouteHarness.h) that create every panel, feed it
those reports and work its controls. Run it again after changing the reports
below; the files are kept in the repository."""

import pathlib
import struct

HERE = pathlib.Path(__file__).resolve().parent


def s32(value):
    return struct.pack("<i", value)


def name(text, length=None):
    data = text.encode("latin-1")
    return bytes([len(data) if length is None else length & 0xFF]) + data


PLUG = b"\x00\x10\x01"
BRIGHT = b"\x00\x11\x01"
BRIGHT2 = b"\x00\x12\x01"
ADPLUG = b"\x00\x20\x01"
BLINDS = b"\x00\x21\x01"
DIMMER = b"\x00\x30\x01"

REPORTS = {
    "plug": [
        PLUG + b"\x08" + s32(12345) + s32(23456) + name("Kite"),
        PLUG + b"\x00" + name("Off plug"),
        PLUG + b"\x08" + s32(0) + s32(999) + name("Zero real"),
        PLUG + b"\x08" + s32(-250) + s32(-2**31) + name("Negative"),
        PLUG + b"\x08" + s32(100000000) + s32(2**31 - 1) + name("Huge"),
        PLUG + b"\x08" + s32(1) + s32(1) + name("Zero\x00inside"),
        PLUG + b"\x08" + s32(1) + s32(1) + name("Short", 0x7F),
        PLUG + b"\x08" + s32(1) + s32(1) + name("Rest of it", 0x80),
        PLUG + b"\x80" + s32(1) + s32(1) + name("N negative"),
        PLUG + b"\xFF" + name("N minus one"),
        PLUG + b"\x7F" + s32(1) + s32(1) + name("N past the end"),
        PLUG + b"\x08" + s32(12345)[:3],
        PLUG + b"\x08",
        PLUG,
    ],
    "adplug": [
        ADPLUG + b"\x09\x01" + s32(12345) + s32(23456) + name("Lamp"),
        ADPLUG + b"\x00\x00" + name("Off"),
        ADPLUG + b"\x09\xFF" + s32(0) + s32(777) + name("On, no real power"),
        ADPLUG + b"\x00\x05" + b"Name!",
        ADPLUG + b"\x80\x01" + s32(1) + s32(1) + name("N negative"),
        ADPLUG + b"\x09\x01" + s32(5)[:2],
        ADPLUG + b"\x09",
        ADPLUG,
    ],
    "bright": [
        BRIGHT + b"\x08" + s32(215) + s32(10000) + name("Kite"),
        BRIGHT2 + b"\x08" + s32(215) + s32(10000) + name("Second kind"),
        BRIGHT + b"\x08" + s32(-15) + s32(-1) + name(""),
        BRIGHT + b"\x08" + s32(-9) + s32(0) + name("Minus nine"),
        BRIGHT + b"\x08" + s32(-2**31) + s32(2**31 - 1) + name("Extremes"),
        BRIGHT + b"\x00" + s32(100) + s32(5),
        BRIGHT + b"\x08" + s32(0) + s32(0) + name("Kite!", 0x80),
        BRIGHT + b"\x80" + s32(215) + s32(10000) + name("N negative"),
        BRIGHT + b"\x08" + s32(215) + s32(10000)[:2],
        BRIGHT,
    ],
    "dimmer": [
        DIMMER + b"\x01\x32" + name("Hall"),
        DIMMER + b"\x01\xB2" + name("Bit seven"),
        DIMMER + b"\x01\xFF" + name("All bits"),
        DIMMER + b"\x01\x80" + name("Zero", 0x80),
        DIMMER + b"\xFF\x32" + name("N negative"),
        DIMMER + b"\x01",
        DIMMER,
    ],
    "blinds": [
        BLINDS + b"\x00",
        BLINDS + b"\x01",
        BLINDS + b"\x03",
        BLINDS + b"\x02",
        BLINDS + b"\x7F",
        BLINDS + b"\xFF",
        BLINDS + b"\x03" + b"anything after byte 3",
        BLINDS,
    ],
    "other": [
        b"\x00\x01\x10\x08" + s32(1) + s32(1) + name("Swapped kind"),
        b"\x00\x13\x01\x00" + name("Unknown"),
        b"\x00\x00\x00",
        b"\xFF\xFF\xFF",
        bytes(range(10)),  # the discovery probe
        b"\xC0\x10",
        b"\xC0",
        b"",
        PLUG + b"\x08" + s32(1) + s32(1) + name("X" * 100, 0x80) + bytes(1500 - 119),
    ],
}

# Steps of fuzz/RouteHarness.h
SENDERS = {"fe80::1": 0, "fe80::1%1": 1, "fe80::2": 2, "fe80::3": 3, "fd00::10": 5,
           "192.0.2.1": 7, "::ffff:192.0.2.1": 8, "fe80::1%2": 9, "fe80::4": 11}


def datagram(sender, data):
    return bytes([0, SENDERS[sender]]) + struct.pack("<H", len(data)) + data


def press(panel, button):
    return bytes([3, panel, button])


def dimmer(panel, value, tick, poll=False):
    return bytes([4, panel]) + struct.pack("<h", value) + bytes([(1 if tick else 0) | (2 if poll else 0)])


def type_text(panel, field, text, utf8=True, insert=False):
    data = text.encode("utf-8" if utf8 else "latin-1")[:255]
    return bytes([5, panel, field, (1 if utf8 else 0) | (2 if insert else 0), len(data)]) + data


def interface(index):
    return bytes([6, index])


EVENTS = bytes([7])


def route_streams():
    streams = {}
    for kind, reports in REPORTS.items():
        if kind == "other":
            continue
        steps = datagram("fe80::1", reports[0])
        for report in reports[1:]:
            steps += datagram("fe80::1", report) + press(0, 0) + press(0, 1)
        streams[f"{kind}-reports"] = steps + EVENTS
        # Each edge case as the first report of a new panel.
        steps = b""
        for index, report in enumerate(reports):
            sender = ["fe80::1", "fe80::2", "fe80::3", "fd00::10", "fe80::4"][index % 5]
            steps += datagram(sender, report)
        streams[f"{kind}-first-reports"] = steps + EVENTS

    steps = b""
    for sender, kind in zip(["fe80::1", "fe80::2", "fe80::3", "fd00::10", "192.0.2.1"],
                            ["plug", "adplug", "bright", "dimmer", "blinds"]):
        steps += datagram(sender, REPORTS[kind][0])
    for sender, kind in zip(["fe80::1", "fe80::2", "fe80::3", "fd00::10", "::ffff:192.0.2.1"],
                            ["blinds", "dimmer", "plug", "bright", "adplug"]):
        steps += datagram(sender, REPORTS[kind][0])  # another kind to a known node
    for panel in range(5):
        steps += press(panel, 0) + press(panel, 1) + press(panel, 2)
    streams["every-kind-then-crossed"] = steps + EVENTS

    streams["one-node-many-scopes"] = (
        datagram("fe80::1", REPORTS["plug"][0]) + datagram("fe80::1%1", REPORTS["plug"][1]) +
        datagram("fe80::1%2", REPORTS["dimmer"][0]) + datagram("192.0.2.1", REPORTS["blinds"][2]) +
        datagram("::ffff:192.0.2.1", REPORTS["blinds"][1]) + press(0, 0) + press(1, 1) + EVENTS)

    streams["short-and-unknown-then-valid"] = (
        datagram("fe80::2", b"") + datagram("fe80::2", b"\x00") + datagram("fe80::2", b"\x00\x30") +
        datagram("fe80::2", REPORTS["other"][1]) + datagram("fe80::2", REPORTS["other"][0]) +
        datagram("fe80::2", REPORTS["dimmer"][0]) + datagram("fe80::2", b"") +
        datagram("fe80::2", b"\x00") + EVENTS)

    steps = datagram("fe80::3", REPORTS["dimmer"][0])
    for value in [1, 1, 50, 20, 10, 10, 100, 200, -5, 32767, -32768, 0]:
        steps += dimmer(0, value, tick=value % 2 == 0, poll=value == 20)
    streams["dimmer-slider-and-timer"] = steps + EVENTS

    steps = datagram("fe80::4", REPORTS["bright"][0])
    texts = ["1", "2", "3", "4", "", "abc", " 5 ", "+7", "-1", "65537", "2147483647",
             "-2147483648", "2147483648", "99999999999999999999", "\uff11\uff12",
             "\u0661\u0662", "\u00b2", "\U0001d7cf", "-", "1" * 200, "0" * 250 + "7",
             "\u00e9" * 100]
    for index, text in enumerate(texts):
        steps += type_text(0, index % 4, text, insert=index % 3 == 0) + press(0, 1)
    steps += type_text(0, 2, "\xe9\xff\x80", utf8=False) + press(0, 1) + press(0, 0)
    streams["sensor-fields"] = steps + EVENTS

    streams["interfaces-and-probes"] = (
        interface(0) + interface(1) + interface(2) + datagram("fe80::1", REPORTS["plug"][0]) +
        interface(0) + datagram("fe80::2", REPORTS["plug"][0]) + EVENTS)
    return streams


def write(folder, files):
    folder.mkdir(parents=True, exist_ok=True)
    for stale in folder.iterdir():
        stale.unlink()
    for file_name, data in files.items():
        (folder / file_name).write_bytes(data)


def main():
    reader = {}
    for kind, reports in REPORTS.items():
        for index, report in enumerate(reports):
            reader[f"{kind}-{index:02d}"] = report
    # The same reports as a bridge passes them through a broker.
    for kind, reports in REPORTS.items():
        reader[f"site-{kind}"] = (
            b'{"heard":1781083211123,"datagram":"' + reports[0].hex().encode() + b'"}')
    write(HERE / "corpus" / "reader", reader)
    write(HERE / "corpus" / "route", route_streams())


if __name__ == "__main__":
    main()
