// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sim/DatagramLog.h"
#include "sim/SimOptions.h"

#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include <memory>
#include <vector>

class QNetworkDatagram;
class QUdpSocket;
class SimNode_t;

// Plays the nodes on one interface: one socket for the probe on port 40000
// (wildcard, shared), one socket per node at its own address and command
// port. Every report leaves from its node's socket, so from its address.
class Simulator_t : public QObject {
    Q_OBJECT

public:
    Simulator_t(const SimOptions_t &options, DatagramLog_t &log, QObject *parent = nullptr);
    ~Simulator_t() override;

    // Binds every socket; false, with the reason, when one cannot be bound.
    bool _Start(QString &error);
    QList<SimNode_t *> _Nodes() const;

private:
    struct Endpoint_t {
        SimNode_t *node = nullptr;
        QUdpSocket *socket = nullptr;
        QHostAddress peer; // whoever last probed or commanded the node
        int silentAfterMs = -1;
        bool silent = false; // sends nothing any more
    };

    void _ReadProbes();
    void _ReadCommands(Endpoint_t &endpoint);
    void _Answer(Endpoint_t &endpoint, const QHostAddress &to, const char *note);
    void _ReportUnasked(Endpoint_t &endpoint);
    Endpoint_t *_EndpointAt(const QHostAddress &address);
    DatagramLog_t::Entry_t _Received(const QNetworkDatagram &datagram, const char *note,
                                     const SimNode_t *node) const;

    QString interfaceName;
    int interfaceIndex = 0;
    int reportEveryMs = 0;
    DatagramLog_t &log;
    QUdpSocket *probeSocket;
    std::vector<std::unique_ptr<Endpoint_t>> endpoints;
    QTimer reportTimer;
};
