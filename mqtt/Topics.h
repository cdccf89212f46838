// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHostAddress>
#include <QString>
#include <QStringList>

// Where one bridge's messages live in the broker. Everything but the
// discovery configs is under B/ID, the base topic and the bridge's id, so that
// bridges with their own ids share a broker without sharing a topic:
//   B/ID/availability                      the bridge: online, or offline (also its last will)
//   B/ID/claim                             which process serves the id (IdClaim_t)
//   B/ID/LINK/nodes                        the addresses of the link's nodes, JSON (NodeIndex_t)
//   B/ID/LINK/ADDRESS/availability         a node: online, or offline while it does not answer
//   B/ID/LINK/ADDRESS/state                its latest readings, JSON
//   B/ID/LINK/ADDRESS/report               its latest datagram as it came, and when (SiteReport.h)
//   B/ID/LINK/ADDRESS/OBJECT/set           commands for one of its entities
//   B/ID/LINK/ADDRESS/datagram/set         a command datagram for the node, in hex
//   B/ID/probe                             anything here probes every link of the bridge
//   B/ID/LINK/ADDRESS/remove               anything here removes the node
//   PREFIX/COMPONENT/NODE/OBJECT/config    Home Assistant's discovery
//   PREFIX/status                          Home Assistant's birth message
// LINK is the interface's name and ADDRESS the node's address without scope,
// so that one address on two links is two nodes.
class Topics_t {
public:
    Topics_t(const QString &baseTopic, const QString &bridgeId, const QString &discoveryPrefix);

    const QString &_BridgeId() const { return bridgeId; }
    QString _BridgeAvailability() const;
    // B/ID/LINK/ADDRESS; a node's other topics add one level or two to it.
    QString _Node(const QString &link, const QString &address) const;
    QString _Config(const QString &component, const QString &nodeId, const QString &object) const;
    QString _HomeAssistantStatus() const;
    QString _Claim() const;
    QString _Index(const QString &link) const;
    QString _Report(const QString &link, const QString &address) const;
    QString _DatagramSet(const QString &link, const QString &address) const;
    QString _Probe() const;
    // The OBJECT level of the datagram topic.
    static QString _DatagramObject() { return QStringLiteral("datagram"); }

    // What the bridge subscribes to.
    QString _CommandPattern() const;
    QString _RemovePattern() const;
    QString _NodeAvailabilityPattern() const;
    QString _IndexPattern() const;
    // The link of an index topic; false for any other topic.
    bool _ParseIndex(const QString &topic, QString *link) const;

    // A topic below one of this bridge's nodes, taken apart; false for any
    // other topic or an address that is none.
    struct NodeTopic_t {
        QString link;
        QHostAddress address;
        QString addressText; // the level as it stands, which may not be canonical
        QStringList levels;  // after ADDRESS
    };
    bool _Parse(const QString &topic, NodeTopic_t *parsed) const;

    // Home Assistant takes only letters, digits, _ and - in the NODE level:
    // ID, LINK and ADDRESS, each with every other character (and _) written
    // as _ and two hex digits of its UTF-8, joined by __, so that no two
    // nodes share one (pi4, enp3s0, fe80::10 -> pi4__enp3s0__fe80_3a_3a10).
    QString _DiscoveryNodeId(const QString &link, const QString &address) const;

private:
    QString base;
    QString bridgeId;
    QString prefix;
};
