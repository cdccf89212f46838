// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "bridge/BridgeOptions.h"
#include "bridge/IdClaim.h"
#include "bridge/Link.h"
#include "bridge/NodeIndex.h"
#include "bridge/Pace.h"
#include "mqtt/Topics.h"
#include "protocol/Clock.h"
#include "protocol/NodeKey.h"
#include "protocol/NodeKinds.h"

#include <QList>
#include <QObject>
#include <QSet>

#include <map>
#include <set>
#include <utility>

class Device_t;
class MqttClient_t;
class ProbeWindows_t;
class QHostAddress;
class QTimer;

// Between the nodes of one or more links and an MQTT broker. It probes every
// link at start, periodically and when the broker asks, routes every datagram
// by its link and sender as the window routes by sender (a new sender of a
// known kind becomes a device), publishes each device's discovery, state,
// reports and availability (see Topics_t), and passes the broker's commands
// on to the nodes: Home Assistant's, and datagrams that a panel of the node's
// kind sends. It never sends a node a command of its own.
//
// On every connection it first claims its bridge id (IdClaim_t) and reads
// back the index of the nodes it keeps in the broker (NodeIndex_t); a bridge
// that finds its id served by another stops. Then it serves: it publishes
// everything, and marks offline the nodes of the index that do not answer the
// first probe, their last state kept.
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
    // when it cannot. A port that another program holds is tried again a few
    // times, a few seconds apart (a program may be just closing), before the
    // bridge gives up with finished(PortTakenExit).
    bool _Start(QString *error);
    // Says offline to the broker and disconnects; then finished(0).
    void _Stop();

    // A program holds the nodes' port: a service manager should not retry.
    static constexpr int PortTakenExit = 3;

signals:
    // 0 once stopped; 1 when another bridge serves this bridge's id, or the
    // bridge cannot start once the port is free; PortTakenExit.
    void finished(int exitCode);

private:
    // A node: the number of its link, and its address.
    using DeviceKey_t = std::pair<int, NodeKey_t>;

    Link_t::Open_t _OpenLinks(QString *error);
    bool _Begin(QString *error);
    void _PortTaken(const QString &why);
    void _RetryPort();
    // Nothing more is heard or probed, and the bridge leaves the broker with this status.
    void _Finish(int status);
    void _Quiet();
    void _Probe();
    void _ProbeAsked();
    bool _ProbeLink(int link);
    void _Tick();
    // The answer window of the probe sent at `probe` on the link `scope` closed.
    void _ProbeWindowClosed(const Moment_t &probe, const QString &scope);
    void _Route(int link, const QHostAddress &sender, const QByteArray &datagram);
    Device_t *_CreateDevice(const Ternix36::KindEntry_t &kind, int link,
                            const QHostAddress &sender);
    DeviceKey_t _Key(const Topics_t::NodeTopic_t &node) const;
    Device_t *_Device(const Topics_t::NodeTopic_t &node) const;
    int _LinkNumber(const QString &name) const;

    void _BrokerConnected();
    void _Claimed();
    void _Serve();
    void _MessageReceived(const QString &topic, const QByteArray &payload, bool retained);
    void _ClaimReceived(const QByteArray &payload);
    void _Yield(const IdClaim_t::Claim_t &holder);
    void _IgnoreRetained(const QString &topic);
    void _Command(const QString &topic, const Topics_t::NodeTopic_t &node,
                  const QByteArray &payload);
    void _Remove(const Topics_t::NodeTopic_t &node);
    void _IndexReadBack(const QString &link, const QByteArray &payload);
    void _ReadBack(const Topics_t::NodeTopic_t &node, const QByteArray &availability);
    void _Remember(const QString &link, const QString &addressText, bool canonical);
    void _MarkRememberedOffline();

    QString _NodeTopic(const Device_t *device) const;
    void _PublishDiscovery(Device_t *device);
    void _PublishState(const Device_t *device);
    void _PublishReport(const Device_t *device);
    void _PublishAvailability(const Device_t *device);
    void _PublishIndex(const QStringList &links);
    void _PublishAll();

    BridgeOptions_t options;
    Topics_t topics;
    IdClaim_t claim;
    QList<Link_t *> links;
    MqttClient_t *broker;
    QTimer *probeTimer;
    // Once a second: the interfaces, the discovery configs held back, the index.
    QTimer *tickTimer;
    // How long a newcomer waits for a serving bridge's answer to its claim.
    QTimer *claimTimer;
    // Between two tries of a port that another program holds.
    QTimer *portTimer;
    int portTries = 0;
    ProbeWindows_t *probeWindows;
    std::map<DeviceKey_t, Device_t *> devices;
    // Devices whose name changed within a second of their last discovery.
    std::set<DeviceKey_t> discoveryDue;
    NodeIndex_t index;
    // Node topics (B/ID/LINK/ADDRESS as they stand in the broker) read back,
    // that no node has answered for yet; marked offline once the first
    // probe's window has closed.
    QSet<QString> remembered;
    // Links whose interface came back, probed each tick until a probe leaves.
    QHash<int, int> probesOwed;
    bool serving = false;
    // Stopping or yielding: nothing more is read.
    bool quiet = false;
    bool claimEchoed = false;
    bool firstProbeWindowClosed = false;
    bool nodeLimitLogged = false;
    int exitCode = 0;
    QSet<QString> retainedCommandsLogged;
    // Datagram topics whose payload was no command of the node's kind.
    QSet<QString> refusedDatagramsLogged;
    // Probes asked for through the broker, and the log line when they come too fast.
    Pace_t probesAsked;
    Pace_t probesIgnoredSaid;
    QString lastClaimAnswered;
};
