// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QtGlobal>

// A node's report as a bridge passes it through the broker: the datagram as
// it came, and when it was heard, in one JSON object:
//   {"heard":1781083211123,"datagram":"1001011d…"}
// heard: ms since the epoch, on the bridge's clock; datagram: its bytes in
// hex, two lower-case digits a byte.
struct SiteReport_t {
    qint64 heardMs = 0;
    QByteArray datagram;

    // Longest payload read: a report of the longest datagram, with room.
    static constexpr int MaxPayloadSize = 4096;

    QByteArray _Payload() const;
    // False for a payload that is no such object, longer than MaxPayloadSize,
    // with a time that is no whole number of ms from 0 to 2^53, or with a
    // datagram shorter than a header, longer than the longest or not in hex.
    static bool _Read(const QByteArray &payload, SiteReport_t *report);
};

// A command for a node as the broker carries it: the datagram in hex, upper
// or lower case, nothing else. Empty when the text is no datagram of at most
// the longest length.
QByteArray _DatagramFromHex(const QByteArray &text);
