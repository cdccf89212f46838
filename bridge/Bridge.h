// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "bridge/BridgeOptions.h"
#include "protocol/NodeMap.h"

#include <QHash>
#include <QMap>
#include <QObject>

class Device_t;
class MqttClient_t;
class QHostAddress;
class QTimer;
class QUdpSocket;

// Between the nodes of one link and an MQTT broker. It probes the link at
// start and periodically, routes every datagram by its sender as the window
// does (a new sender of a known kind becomes a device), publishes each
// device's discovery, state and availability, and passes the broker's
// commands on to the nodes. It never sends a node a command of its own.
//
// Topics, under the base topic B and per node N (its address without scope):
//   B/bridge/availability   online, or offline (also the last will)
//   B/N/availability        online, or offline while N does not answer probes
//   B/N/state               the latest readings, JSON
//   B/N/OBJECT/set          commands for one of N's entities
class Bridge_t : public QObject {
    Q_OBJECT

public:
    Bridge_t(const BridgeOptions_t &options, uint interfaceIndex, QObject *parent = nullptr);

    // Binds the nodes' port and starts; false with the reason when it cannot.
    bool _Start(QString *error);
    // Says offline to the broker and disconnects; then finished().
    void _Stop();

signals:
    void finished();

private:
    void _Probe();
    void _ProbeWindowClosed(qint64 probeMs);
    void _DatagramsWaiting();
    void _Route(const QHostAddress &sender, const QByteArray &datagram);
    Device_t *_CreateDevice(quint16 kind, const QHostAddress &sender);

    void _BrokerConnected();
    void _CommandReceived(const QString &topic, const QByteArray &payload);

    QString _NodeTopic(const Device_t *device) const;
    QString _BridgeAvailabilityTopic() const;
    void _PublishDiscovery(const Device_t *device);
    void _PublishState(const Device_t *device);
    void _PublishAvailability(const Device_t *device);
    void _PublishAll();

    BridgeOptions_t options;
    QString scope;
    QUdpSocket *nodeSocket;
    QUdpSocket *commandSocket;
    MqttClient_t *broker;
    QTimer *probeTimer;
    QMap<NodeKey_t, Device_t *> devices;
    QHash<QString, Device_t *> devicesById;
    // The name each device's discovery was last published with.
    QHash<const Device_t *, QString> discoveredNames;
};
