// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/Bridge.h"

#include "bridge/ADPlugDevice.h"
#include "bridge/BlindsDevice.h"
#include "bridge/BrightDevice.h"
#include "bridge/DimmerDevice.h"
#include "bridge/Discovery.h"
#include "bridge/Link.h"
#include "bridge/Log.h"
#include "bridge/MqttClient.h"
#include "bridge/PlugDevice.h"
#include "protocol/Clock.h"
#include "protocol/Liveness.h"
#include "protocol/ProbeWindows.h"
#include "protocol/ReportReader.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QTimer>

#include <memory>

namespace {
const QByteArray Online = QByteArrayLiteral("online");
const QByteArray Offline = QByteArrayLiteral("offline");
const QString Set = QStringLiteral("set");
const QString Remove = QStringLiteral("remove");
const QString Availability = QStringLiteral("availability");

Device_t *_NewDevice(Ternix36::_NodeType type, const QString &link, const QString &address,
                     const Device_t::Sender_t &send, QObject *parent) {
    switch (type) {
    case Ternix36::_NodeType::_Plug:
        return new PlugDevice_t(link, address, send, parent);
    case Ternix36::_NodeType::_ADPlug:
        return new ADPlugDevice_t(link, address, send, parent);
    case Ternix36::_NodeType::_Bright:
        return new BrightDevice_t(link, address, send, parent);
    case Ternix36::_NodeType::_Dimmer:
        return new DimmerDevice_t(link, address, send, parent);
    case Ternix36::_NodeType::_Blinds:
        return new BlindsDevice_t(link, address, send, parent);
    }
    return nullptr;
}

// Every entity that any kind has: a node is removed without knowing its kind,
// which a node read back from the broker does not tell.
const QList<Device_t::Entity_t> &_EveryEntity() {
    static const QList<Device_t::Entity_t> every = [] {
        QList<Device_t::Entity_t> entities;
        for (const Ternix36::KindEntry_t &kind : Ternix36::Kinds) {
            const std::unique_ptr<Device_t> device(_NewDevice(kind.type, {}, {}, {}, nullptr));
            for (const Device_t::Entity_t &entity : device->_Entities()) {
                const bool listed = std::any_of(
                    entities.begin(), entities.end(), [&](const Device_t::Entity_t &other) {
                        return other.component == entity.component && other.object == entity.object;
                    });
                if (!listed)
                    entities.append(entity);
            }
        }
        return entities;
    }();
    return every;
}
} // namespace

Bridge_t::Bridge_t(const BridgeOptions_t &options, const QList<Interface_t> &interfaces,
                   QObject *parent)
    : QObject(parent)
    , options(options)
    , topics(options.baseTopic, options.bridgeId, options.discoveryPrefix)
    , probeTimer(new QTimer(this))
    , probeWindows(new ProbeWindows_t(this)) {
    for (const Interface_t &interface : interfaces) {
        const int number = int(links.size());
        Link_t *link = new Link_t(interface.name, interface.index, this);
        connect(link, &Link_t::datagramReceived, this,
                [this, number](const QHostAddress &sender, const QByteArray &datagram) {
                    _Route(number, sender, datagram);
                });
        links.append(link);
    }

    MqttClient_t::Settings_t settings;
    settings.host = options.brokerHost;
    settings.port = options.brokerPort;
    settings.tls = options.tls;
    settings.caFile = options.caFile;
    settings.certFile = options.certFile;
    settings.keyFile = options.keyFile;
    settings.username = options.username;
    settings.password = options.password;
    settings.clientId = QStringLiteral("ternix36-bridge-%1").arg(options.bridgeId);
    settings.willTopic = topics._BridgeAvailability();
    settings.willPayload = Offline;
    broker = new MqttClient_t(settings, this);
    connect(broker, &MqttClient_t::connectedToBroker, this, &Bridge_t::_BrokerConnected);
    connect(broker, &MqttClient_t::messageReceived, this, &Bridge_t::_MessageReceived);
    connect(broker, &MqttClient_t::stopped, this, &Bridge_t::finished);

    probeTimer->setInterval(options.probeEverySeconds * 1000);
    connect(probeTimer, &QTimer::timeout, this, &Bridge_t::_Probe);
    connect(probeWindows, &ProbeWindows_t::closed, this, &Bridge_t::_ProbeWindowClosed);
}

bool Bridge_t::_Start(QString *error) {
    for (Link_t *link : std::as_const(links))
        if (!link->_Open(error))
            return false;
    if (!broker->_Start(error))
        return false;
    _Probe();
    probeTimer->start();
    return true;
}

void Bridge_t::_Stop() {
    probeTimer->stop();
    Log::_Write(Log::Info, QStringLiteral("stopping"));
    broker->_Stop(topics._BridgeAvailability(), Offline);
}

void Bridge_t::_Probe() {
    for (Link_t *link : std::as_const(links)) {
        link->_Probe();
        probeWindows->_Open(link->_Name());
    }
}

void Bridge_t::_ProbeWindowClosed(const Moment_t &probe, const QString &scope) {
    for (const auto &[key, device] : devices) {
        if (device->_Link() == scope && device->liveness._ProbeExpired(probe)) {
            Log::_Write(Log::Notice,
                        QStringLiteral("%1 did not answer the probe: offline").arg(device->_Id()));
            _PublishAvailability(device);
        }
    }
    if (!firstProbeWindowClosed) {
        firstProbeWindowClosed = true;
        _MarkRememberedOffline();
    }
}

void Bridge_t::_Route(int link, const QHostAddress &sender, const QByteArray &datagram) {
    const DeviceKey_t key(link, _NodeKey(sender));
    const ReportReader_t report(datagram);
    const auto found = devices.find(key);
    Device_t *device = found != devices.end() ? found->second : nullptr;
    if (!device) {
        if (!report._IsReport())
            return;
        if (int(devices.size()) >= options.maxNodes) {
            if (!nodeLimitLogged)
                Log::_Write(Log::Warning, QStringLiteral("%1 nodes known (--max-nodes): new "
                                                         "senders are ignored")
                                              .arg(options.maxNodes));
            nodeLimitLogged = true;
            return;
        }
        const Ternix36::KindEntry_t *kind = Ternix36::_FindKind(report._U16(Ternix36::KindOffset));
        if (!kind)
            return;
        device = _CreateDevice(kind->type, link, sender);
        devices.emplace(key, device);
        remembered.remove(_NodeTopic(device));
        Log::_Write(Log::Info,
                    QStringLiteral("found %1 at %2").arg(device->_Model(), device->_Id()));
    }

    const bool known = device->liveness._LastHeardMs() != 0;
    const bool answeringAgain = device->liveness._Heard(_Now());
    if (report._IsReport())
        device->_Read(report);
    if (!known || device->discoveredName != device->_Name())
        _PublishDiscovery(device);
    if (!known || answeringAgain)
        _PublishAvailability(device);
    if (report._IsReport())
        _PublishState(device);
}

Device_t *Bridge_t::_CreateDevice(Ternix36::_NodeType type, int link, const QHostAddress &sender) {
    QHostAddress address = sender;
    address.setScopeId(QString());
    Link_t *through = links[link];
    const Device_t::Sender_t send = [through, address](const QByteArray &command, quint16 port) {
        through->_Send(command, address, port);
    };
    return _NewDevice(type, through->_Name(), address.toString(), send, this);
}

Bridge_t::DeviceKey_t Bridge_t::_Key(const Topics_t::NodeTopic_t &node) const {
    return {_LinkNumber(node.link), _NodeKey(node.address)};
}

Device_t *Bridge_t::_Device(const Topics_t::NodeTopic_t &node) const {
    const auto found = devices.find(_Key(node));
    return found != devices.end() ? found->second : nullptr;
}

int Bridge_t::_LinkNumber(const QString &name) const {
    for (int i = 0; i < links.size(); ++i)
        if (links[i]->_Name() == name)
            return i;
    return -1;
}

void Bridge_t::_BrokerConnected() {
    broker->_Publish(topics._BridgeAvailability(), Online, true);
    for (const QString &pattern :
         {topics._CommandPattern(), topics._RemovePattern(), topics._NodeAvailabilityPattern(),
          topics._HomeAssistantStatus()})
        broker->_Subscribe(pattern);
    _PublishAll();
}

void Bridge_t::_PublishAll() {
    for (const auto &[key, device] : devices) {
        _PublishDiscovery(device);
        _PublishAvailability(device);
        _PublishState(device);
    }
}

void Bridge_t::_MessageReceived(const QString &topic, const QByteArray &payload, bool retained) {
    // Home Assistant's birth: it may have lost every config.
    if (topic == topics._HomeAssistantStatus()) {
        if (!retained && payload == Online) {
            Log::_Write(Log::Info, QStringLiteral("Home Assistant started: publishing again"));
            _PublishAll();
        }
        return;
    }
    Topics_t::NodeTopic_t node;
    if (!topics._Parse(topic, &node)) {
        Log::_Write(Log::Warning, QStringLiteral("%1: no such node; ignored").arg(topic));
        return;
    }
    if (node.levels == QStringList{Availability}) {
        // Our own publications come back too, but not retained.
        if (retained)
            _ReadBack(node, payload);
        return;
    }
    // A retained command would be run again on every connection.
    if (retained) {
        if (!retainedCommandsLogged.contains(topic))
            Log::_Write(Log::Warning,
                        QStringLiteral("%1: a retained message is no command; ignored (clear it "
                                       "with mosquitto_pub -r -n -t '%1')")
                            .arg(topic));
        retainedCommandsLogged.insert(topic);
        return;
    }
    if (node.levels == QStringList{Remove})
        _Remove(node);
    else
        _Command(topic, node, payload);
}

void Bridge_t::_Command(const QString &topic, const Topics_t::NodeTopic_t &node,
                        const QByteArray &payload) {
    Device_t *device = _Device(node);
    if (!device || node.levels.size() != 2 || node.levels[1] != Set) {
        Log::_Write(Log::Warning, QStringLiteral("%1: no such node; ignored").arg(topic));
        return;
    }
    if (device->_Command(node.levels[0], payload) == Device_t::Command_t::Malformed) {
        const QString shown = QString::fromUtf8(payload.left(64).toPercentEncoding(" {}\":,"));
        Log::_Write(
            Log::Warning,
            QStringLiteral("%1: payload \"%2\" means nothing here; ignored").arg(topic, shown));
    }
}

// Everything of the node goes from the broker: its configs (of every kind, as
// a node read back has none), its state and its availability. It comes back
// when it answers again.
void Bridge_t::_Remove(const Topics_t::NodeTopic_t &node) {
    const QString address = node.address.toString();
    const QString nodeTopic = topics._Node(node.link, address);
    if (Device_t *device = _Device(node)) {
        device->deleteLater();
        devices.erase(_Key(node));
        nodeLimitLogged = false;
    }
    remembered.remove(nodeTopic);
    const QString nodeId = topics._DiscoveryNodeId(node.link, address);
    for (const Device_t::Entity_t &entity : _EveryEntity())
        broker->_Publish(topics._Config(entity.component, nodeId, entity.object), {}, true);
    broker->_Publish(nodeTopic + QStringLiteral("/state"), {}, true);
    broker->_Publish(nodeTopic + u'/' + Availability, {}, true);
    Log::_Write(Log::Info, QStringLiteral("removed %1%%2").arg(address, node.link));
}

// A node that says offline already, or answers, needs nothing.
void Bridge_t::_ReadBack(const Topics_t::NodeTopic_t &node, const QByteArray &availability) {
    if (availability.isEmpty() || availability == Offline || _Device(node))
        return;
    remembered.insert(topics._Node(node.link, node.address.toString()));
    if (firstProbeWindowClosed)
        _MarkRememberedOffline();
}

void Bridge_t::_MarkRememberedOffline() {
    for (const QString &nodeTopic : std::as_const(remembered)) {
        Log::_Write(Log::Notice, QStringLiteral("%1 did not answer: offline").arg(nodeTopic));
        broker->_Publish(nodeTopic + u'/' + Availability, Offline, true);
    }
    remembered.clear();
}

QString Bridge_t::_NodeTopic(const Device_t *device) const {
    return topics._Node(device->_Link(), device->_Address());
}

void Bridge_t::_PublishDiscovery(Device_t *device) {
    device->discoveredName = device->_Name();
    if (!broker->_IsConnected())
        return;
    const Discovery_t discovery(topics);
    for (const Device_t::Entity_t &entity : device->_Entities())
        broker->_Publish(discovery._Topic(*device, entity), discovery._Config(*device, entity),
                         true);
}

// At most once: states follow every report, a lost one is replaced by the
// next report, and a new connection gets all of them again. Acknowledging
// each would cost the library a search of its unacknowledged messages per
// acknowledgement.
void Bridge_t::_PublishState(const Device_t *device) {
    if (device->liveness._LastHeardMs() == 0)
        return;
    broker->_Publish(_NodeTopic(device) + QStringLiteral("/state"),
                     QJsonDocument(device->_State()).toJson(QJsonDocument::Compact), true, 0);
}

void Bridge_t::_PublishAvailability(const Device_t *device) {
    broker->_Publish(_NodeTopic(device) + u'/' + Availability,
                     device->liveness._NotAnswering() ? Offline : Online, true);
}
