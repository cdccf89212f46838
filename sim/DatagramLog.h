// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFile>
#include <QHostAddress>
#include <QString>

class QByteArray;
class SimNode_t;

// One JSON object per line for every datagram the simulator receives and
// every report it sends, flushed at once so that a test can follow it.
class DatagramLog_t {
public:
    struct Entry_t {
        const char *event; // "received", "sent" or "node"
        const char *note;  // probe, command, malformed, ignored, unasked
        const SimNode_t *node = nullptr;
        QHostAddress source;
        quint16 sourcePort = 0;
        QHostAddress destination;
        quint16 destinationPort = 0;
        int interfaceIndex = 0;
    };

    // An empty path logs nothing.
    bool _Open(const QString &path, QString &error);
    void _Write(const Entry_t &entry, const QByteArray &bytes);
    // The node's kind, name, address and port, once at start.
    void _Announce(const SimNode_t &node, int interfaceIndex);

private:
    QFile file;
};
