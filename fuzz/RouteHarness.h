// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>

// Plays one fuzz input against the program's receive side and its panels.
//
// The input is a stream of steps. Each step starts with a byte whose value
// modulo 8 chooses it; its operands follow:
//   0, 1, 2  datagram: sender (index into a table of 12 addresses, some of them
//            the same node), length (u16 little-endian, modulo 1501), then that
//            many payload bytes, handed to _RouteDatagram
//   3        press a button: panel, button
//   4        dimmer: panel, slider value (s16 little-endian), then a byte:
//            bit 0 fires the timer's slot, bit 1 calls _Poll()
//   5        type into a sensor field: panel, field, mode, length, text bytes
//            (mode bit 0: UTF-8 or Latin-1; bit 1: insert at the cursor or
//            replace the text)
//   6        choose an interface item: index, which also sends the probe
//   7        run the pending events (layout, painting, the socket)
// "panel" is an index into the panels that exist, in NodeMap's order; steps
// that find no such panel or widget do nothing.
//
// Every input starts from an empty column and leaves the program as it found
// it, so inputs replay alike in any order. The senders are a fixed handful,
// so one input makes at most eight panels.
//
// Needs the application object and the one main window; sends commands to
// addresses that no host on a private network namespace's links answers.
// Returns a description of what went wrong, or an empty string.
QString _PlayRouteInput(const uint8_t *data, size_t size);
