// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "bridge/BridgeOptions.h"
#include "bridge/Topics.h"
#include "protocol/NodeKey.h"
#include "protocol/NodeKinds.h"

#include <QList>
#include <QObject>
#include <QSet>

#include <map>
#include <utility>

class Device_t;
class Link_t;
class MqttClient_t;
class ProbeWindows_t;
struct Moment_t;
class QHostAddress;
class QTimer;

// Between the nodes of one or more links and an MQTT broker. It probes every
// link at start and periodically, routes every datagram by its link and
// sender as the window routes by sender (a new sender of a known kind becomes
// a device), publishes each device's discovery, state and availability (see
// Topics_t), and passes the broker's commands on to the nodes. It never sends
// a node a command of its own.
//
// The broker is its memory: on connecting it reads back the availability of
// the nodes it published before, and marks those that do not answer the
// first probe offline, their last state kept.
class Bridge_t : public QObject {
    Q_OBJECT

public:
    struct Interface_t {
        QString name;
        uint index;
    };

    Bridge_t(const BridgeOptions_t &options, const QList<Interface_t> &interfaces,
             QObject *parent = nullptr);

    // Binds the nodes' port on every link and starts; false with the reason
    // when it cannot.
    bool _Start(QString *error);
    // Says offline to the broker and disconnects; then finished().
    void _Stop();

signals:
    void finished();

private:
    // A node: the number of its link, and its address.
    using DeviceKey_t = std::pair<int, NodeKey_t>;

    void _Probe();
    // The answer window of the probe sent at `probe` on the link `scope` closed.
    void _ProbeWindowClosed(const Moment_t &probe, const QString &scope);
    void _Route(int link, const QHostAddress &sender, const QByteArray &datagram);
    Device_t *_CreateDevice(Ternix36::_NodeType type, int link, const QHostAddress &sender);
    DeviceKey_t _Key(const Topics_t::NodeTopic_t &node) const;
    Device_t *_Device(const Topics_t::NodeTopic_t &node) const;
    int _LinkNumber(const QString &name) const;

    void _BrokerConnected();
    void _MessageReceived(const QString &topic, const QByteArray &payload, bool retained);
    void _Command(const QString &topic, const Topics_t::NodeTopic_t &node,
                  const QByteArray &payload);
    void _Remove(const Topics_t::NodeTopic_t &node);
    void _ReadBack(const Topics_t::NodeTopic_t &node, const QByteArray &availability);
    void _MarkRememberedOffline();

    QString _NodeTopic(const Device_t *device) const;
    void _PublishDiscovery(Device_t *device);
    void _PublishState(const Device_t *device);
    void _PublishAvailability(const Device_t *device);
    void _PublishAll();

    BridgeOptions_t options;
    Topics_t topics;
    QList<Link_t *> links;
    MqttClient_t *broker;
    QTimer *probeTimer;
    ProbeWindows_t *probeWindows;
    std::map<DeviceKey_t, Device_t *> devices;
    // Nodes read back from the broker as online that have not answered yet,
    // by their topic; marked offline once the first probe's window closes.
    QSet<QString> remembered;
    bool firstProbeWindowClosed = false;
    bool nodeLimitLogged = false;
    QSet<QString> retainedCommandsLogged;
};
