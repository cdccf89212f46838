// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractSocket>
#include <QList>
#include <QString>

class QNetworkInterface;

// What the interface box needs to know of one network interface.
struct InterfaceDescription_t {
    QString humanReadableName;
    int index = 0;
    bool isLoopBack = false;
    // Protocols of its address entries, in order.
    QList<QAbstractSocket::NetworkLayerProtocol> addressProtocols;
};

// One item of the interface box.
struct InterfaceChoice_t {
    QString text;
    QString interfaceName; // the index in decimal: the scope of link-local addresses

    bool operator==(const InterfaceChoice_t &other) const {
        return text == other.text && interfaceName == other.interfaceName;
    }
};

InterfaceDescription_t _Describe(const QNetworkInterface &interface);
QList<InterfaceDescription_t> _DescribeAllInterfaces();

// The interfaces on which nodes can be reached, in the given order: those with
// an IPv6 address, except loopback and the one named exactly "eth0".
QList<InterfaceChoice_t> _UsableInterfaces(const QList<InterfaceDescription_t> &interfaces);
