// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/Bridge.h"

#include "bridge/ADPlugDevice.h"
#include "bridge/BlindsDevice.h"
#include "bridge/BrightDevice.h"
#include "bridge/DimmerDevice.h"
#include "bridge/Discovery.h"
#include "bridge/PlugDevice.h"
#include "mqtt/Log.h"
#include "mqtt/MqttClient.h"
#include "protocol/Liveness.h"
#include "protocol/ProbeWindows.h"
#include "protocol/ReportReader.h"
#include "protocol/SiteReport.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QHostInfo>
#include <QJsonDocument>
#include <QTimer>
#include <QUrl>

#include <memory>

namespace {
const QByteArray Online = QByteArrayLiteral("online");
const QByteArray Offline = QByteArrayLiteral("offline");
const QString Set = QStringLiteral("set");
const QString Remove = QStringLiteral("remove");
const QString Availability = QStringLiteral("availability");
constexpr int TickMs = 1000;
// A bridge that cannot start once its port is free, as any other failure.
constexpr int Failure = 1;
// A port that another program holds: tries in all, and the pause between two.
constexpr int PortTries = 3;
constexpr int PortRetryMs = 2000;
// Probes asked for through the broker go out at most this often, and so does
// the log line that says that more were ignored.
constexpr qint64 AskedProbeIntervalMs = 1000;
// A node's discovery configs go out at most this often, whatever its name does.
constexpr qint64 DiscoveryIntervalMs = 1000;
// How long a newcomer waits for its own claim to come back through the
// broker, and then for a serving bridge's answer.
constexpr int ClaimEchoWaitMs = 5000;
constexpr int ClaimAnswerWaitMs = 1000;
// A link whose interface came back is probed each tick until a probe leaves
// (its link-local address may still be tentative), at most this often.
constexpr int ProbesOwedOnReturn = 10;
// Nodes named one by one in the log when a restart finds them silent; a large
// site gets a count for the rest.
constexpr int MarksLogged = 20;

Device_t *_NewDevice(const Ternix36::KindEntry_t &kind, const QString &link, const QString &address,
                     const Device_t::Sender_t &send, QObject *parent) {
    switch (kind.type) {
    case Ternix36::_NodeType::_Plug:
        return new PlugDevice_t(link, address, send, parent);
    case Ternix36::_NodeType::_ADPlug:
        return new ADPlugDevice_t(link, address, send, parent);
    case Ternix36::_NodeType::_Bright:
        return new BrightDevice_t(kind.kind, link, address, send, parent);
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
            const std::unique_ptr<Device_t> device(_NewDevice(kind, {}, {}, {}, nullptr));
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

QString _Canonical(const QString &address) {
    QHostAddress parsed(address);
    return parsed.protocol() == QAbstractSocket::IPv6Protocol && parsed.scopeId().isEmpty()
               ? parsed.toString()
               : QString();
}
} // namespace

Bridge_t::Bridge_t(const BridgeOptions_t &options, const QList<Interface_t> &interfaces,
                   QObject *parent)
    : QObject(parent)
    , options(options)
    , topics(options.baseTopic, options.bridgeId, options.discoveryPrefix)
    , claim(QHostInfo::localHostName(), QCoreApplication::applicationPid(), _Now().wallMs)
    , probeTimer(new QTimer(this))
    , tickTimer(new QTimer(this))
    , claimTimer(new QTimer(this))
    , portTimer(new QTimer(this))
    , probeWindows(new ProbeWindows_t(this))
    , probesAsked(AskedProbeIntervalMs)
    , probesIgnoredSaid(AskedProbeIntervalMs) {
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
    // Each process a client id of its own: a broker drops the older of two
    // connections with one id, and two bridges with one id must both stay
    // connected to find each other out.
    settings.clientId = QStringLiteral("ternix36-bridge-%1-%2")
                            .arg(options.bridgeId, claim._Own().instance.left(8));
    settings.willTopic = topics._BridgeAvailability();
    settings.willPayload = Offline;
    broker = new MqttClient_t(settings, this);
    connect(broker, &MqttClient_t::connectedToBroker, this, &Bridge_t::_BrokerConnected);
    connect(broker, &MqttClient_t::messageReceived, this, &Bridge_t::_MessageReceived);
    connect(broker, &MqttClient_t::stopped, this, [this] { emit finished(exitCode); });
    connect(broker, &MqttClient_t::backlogChanged, this, [this](bool backlogged) {
        for (Link_t *link : std::as_const(links))
            link->_SetReading(!backlogged && !quiet);
    });

    probeTimer->setInterval(options.probeEverySeconds * 1000);
    connect(probeTimer, &QTimer::timeout, this, &Bridge_t::_Probe);
    tickTimer->setInterval(TickMs);
    connect(tickTimer, &QTimer::timeout, this, &Bridge_t::_Tick);
    claimTimer->setSingleShot(true);
    connect(claimTimer, &QTimer::timeout, this, &Bridge_t::_Claimed);
    portTimer->setSingleShot(true);
    portTimer->setInterval(PortRetryMs);
    connect(portTimer, &QTimer::timeout, this, &Bridge_t::_RetryPort);
    connect(probeWindows, &ProbeWindows_t::closed, this, &Bridge_t::_ProbeWindowClosed);
}

bool Bridge_t::_Start(QString *error) {
    switch (_OpenLinks(error)) {
    case Link_t::Open_t::Opened:
        return _Begin(error);
    case Link_t::Open_t::Taken:
        _PortTaken(*error);
        return true;
    case Link_t::Open_t::Failed:
        break;
    }
    return false;
}

// All links or none: while the bridge waits for one, it holds no port.
Link_t::Open_t Bridge_t::_OpenLinks(QString *error) {
    for (Link_t *link : std::as_const(links)) {
        const Link_t::Open_t opened = link->_Open(error);
        if (opened != Link_t::Open_t::Opened) {
            for (Link_t *other : std::as_const(links))
                other->_Close();
            return opened;
        }
    }
    return Link_t::Open_t::Opened;
}

bool Bridge_t::_Begin(QString *error) {
    if (!options.tls && !options.password.isEmpty())
        Log::_Write(Log::Warning,
                    QStringLiteral("the password goes to the broker %1:%2 in clear text "
                                   "(mqtt://)%3: use mqtts:// to keep it secret")
                        .arg(options.brokerHost)
                        .arg(options.brokerPort)
                        .arg(options.brokerPort == 8883 ? QStringLiteral(", although port 8883 is "
                                                                         "MQTT over TLS")
                                                        : QString()));
    if (!broker->_Start(error))
        return false;
    _Probe();
    probeTimer->start();
    tickTimer->start();
    return true;
}

// Nothing mends a port that stays taken: the last line says what holds it and
// what to do, and the exit status tells a service manager not to retry.
void Bridge_t::_PortTaken(const QString &why) {
    if (++portTries < PortTries) {
        Log::_Write(Log::Notice,
                    QStringLiteral("%1: trying again in %2 s").arg(why).arg(PortRetryMs / 1000));
        portTimer->start();
        return;
    }
    QUrl site;
    site.setScheme(options.tls ? QStringLiteral("mqtts") : QStringLiteral("mqtt"));
    site.setHost(options.brokerHost);
    site.setPort(options.brokerPort);
    Log::_Write(Log::Error,
                QStringLiteral("%1, after %2 tries: close that program, then start the bridge "
                               "again. One bridge serves every link of a host, and the window on "
                               "a host with a bridge runs through the broker: ternix36-control "
                               "--site %3")
                    .arg(why)
                    .arg(PortTries)
                    .arg(site.toString()));
    _Finish(PortTakenExit);
}

void Bridge_t::_RetryPort() {
    QString error;
    switch (_OpenLinks(&error)) {
    case Link_t::Open_t::Taken:
        _PortTaken(error);
        return;
    case Link_t::Open_t::Opened:
        if (_Begin(&error))
            return;
        break;
    case Link_t::Open_t::Failed:
        break;
    }
    Log::_Write(Log::Error, error);
    _Finish(Failure);
}

void Bridge_t::_Finish(int status) {
    exitCode = status;
    _Quiet();
    // A broker never started, or whose start failed, says stopped all the same.
    broker->_Stop();
}

void Bridge_t::_Stop() {
    _Quiet();
    Log::_Write(Log::Info, QStringLiteral("stopping"));
    // A bridge that never served says nothing for the id.
    if (serving)
        broker->_Stop(topics._BridgeAvailability(), Offline);
    else
        broker->_Stop();
}

// Nothing more is heard or probed: what is left is to leave the broker.
void Bridge_t::_Quiet() {
    quiet = true;
    probeTimer->stop();
    tickTimer->stop();
    claimTimer->stop();
    portTimer->stop();
    for (Link_t *link : std::as_const(links))
        link->_SetReading(false);
}

void Bridge_t::_Probe() {
    for (int link = 0; link < links.size(); ++link)
        _ProbeLink(link);
}

// However often a client of the broker asks, the links are probed at most
// once a second.
void Bridge_t::_ProbeAsked() {
    const qint64 nowMs = _Now().monotonicMs;
    if (probesAsked._Take(nowMs)) {
        Log::_Write(Log::Debug,
                    QStringLiteral("probing every link, as asked on %1").arg(topics._Probe()));
        _Probe();
    } else if (probesIgnoredSaid._Take(nowMs)) {
        Log::_Write(Log::Debug, QStringLiteral("%1: more than one probe a second asked for; the "
                                               "rest are ignored")
                                    .arg(topics._Probe()));
    }
}

// The window opens even when the probe could not leave: the nodes of a link
// that is gone go offline when it closes.
bool Bridge_t::_ProbeLink(int link) {
    const bool sent = links[link]->_Probe();
    probeWindows->_Open(links[link]->_Name());
    if (sent)
        probesOwed.remove(link);
    return sent;
}

void Bridge_t::_Tick() {
    for (int link = 0; link < links.size(); ++link) {
        if (links[link]->_Watch() == Link_t::Change_t::Back)
            probesOwed.insert(link, ProbesOwedOnReturn);
        const auto owed = probesOwed.find(link);
        if (owed != probesOwed.end() && !_ProbeLink(link) && --owed.value() <= 0)
            probesOwed.erase(owed);
    }

    const qint64 nowMs = _Now().monotonicMs;
    for (auto key = discoveryDue.begin(); key != discoveryDue.end();) {
        const auto found = devices.find(*key);
        if (found == devices.end()) {
            key = discoveryDue.erase(key);
        } else if (nowMs - found->second->discoveredAtMs >= DiscoveryIntervalMs) {
            _PublishDiscovery(found->second);
            key = discoveryDue.erase(key);
        } else {
            ++key;
        }
    }
    if (serving)
        _PublishIndex(index._TakeChanged());
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
        if (serving)
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
        device = _CreateDevice(*kind, link, sender);
        devices.emplace(key, device);
        remembered.remove(_NodeTopic(device));
        index._Add(device->_Link(), device->_Address());
        Log::_Write(Log::Info,
                    QStringLiteral("found %1 at %2").arg(device->_Model(), device->_Id()));
    }

    const bool known = device->liveness._LastHeardMs() != 0;
    const Moment_t now = _Now();
    const bool answeringAgain = device->liveness._Heard(now);
    if (report._IsReport())
        device->_Read(report);
    if (!known) {
        _PublishDiscovery(device);
    } else if (device->discoveredName != device->_Name()) {
        if (now.monotonicMs - device->discoveredAtMs >= DiscoveryIntervalMs)
            _PublishDiscovery(device);
        else
            discoveryDue.insert(key);
    }
    if (!known || answeringAgain)
        _PublishAvailability(device);
    if (report._IsReport()) {
        _PublishState(device);
        device->lastReport = {now.wallMs, datagram};
        _PublishReport(device);
    }
}

Device_t *Bridge_t::_CreateDevice(const Ternix36::KindEntry_t &kind, int link,
                                  const QHostAddress &sender) {
    QHostAddress address = sender;
    address.setScopeId(QString());
    Link_t *through = links[link];
    const Device_t::Sender_t send = [through, address](const QByteArray &command, quint16 port) {
        through->_Send(command, address, port);
    };
    return _NewDevice(kind, through->_Name(), address.toString(), send, this);
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

// The index is subscribed to before the claim goes out: the broker sends the
// retained lists first, so that by the time the claim comes back, the index
// is in. A bridge that served already serves on at once.
void Bridge_t::_BrokerConnected() {
    broker->_Subscribe(topics._Claim());
    if (!serving)
        broker->_Subscribe(topics._IndexPattern());
    broker->_Publish(topics._Claim(), claim._Payload(serving), false);
    if (serving) {
        _Serve();
        return;
    }
    claimEchoed = false;
    claimTimer->start(ClaimEchoWaitMs);
}

// No serving bridge answered the claim: this one serves the id.
void Bridge_t::_Claimed() {
    if (serving || !broker->_IsConnected())
        return;
    if (!claimEchoed)
        Log::_Write(Log::Warning,
                    QStringLiteral("the broker did not pass this bridge's claim to the id %1 back "
                                   "within %2 s: another bridge with this id would go unnoticed "
                                   "(may this user read %3?)")
                        .arg(options.bridgeId)
                        .arg(ClaimEchoWaitMs / 1000)
                        .arg(topics._Claim()));
    serving = true;
    _Serve();
}

void Bridge_t::_Serve() {
    broker->_Publish(topics._BridgeAvailability(), Online, true);
    for (const QString &pattern :
         {topics._BridgeAvailability(), topics._CommandPattern(), topics._RemovePattern(),
          topics._Probe(), topics._HomeAssistantStatus()})
        broker->_Subscribe(pattern);
    // What the index misses (a node put there by hand, or by a bridge from
    // before the index): as much as the broker's queue lets through.
    broker->_Subscribe(topics._NodeAvailabilityPattern(), 0);
    _PublishAll();
    if (firstProbeWindowClosed)
        _MarkRememberedOffline();
}

void Bridge_t::_PublishAll() {
    for (const auto &[key, device] : devices) {
        _PublishDiscovery(device);
        _PublishAvailability(device);
        _PublishState(device);
        _PublishReport(device);
    }
    index._TakeChanged();
    _PublishIndex(index._Links());
}

void Bridge_t::_MessageReceived(const QString &topic, const QByteArray &payload, bool retained) {
    if (topic == topics._Claim()) {
        _ClaimReceived(payload);
        return;
    }
    QString link;
    if (topics._ParseIndex(topic, &link)) {
        if (retained)
            _IndexReadBack(link, payload);
        return;
    }
    if (topic == topics._BridgeAvailability()) {
        // The last will of a connection of ours that the broker had not yet
        // given up, published after this one said online.
        if (serving && broker->_IsConnected() && !retained && payload == Offline) {
            Log::_Write(Log::Notice, QStringLiteral("an earlier connection's last will said "
                                                    "offline: online again"));
            broker->_Publish(topics._BridgeAvailability(), Online, true);
        }
        return;
    }
    if (topic == topics._Probe()) {
        if (retained)
            _IgnoreRetained(topic);
        else
            _ProbeAsked();
        return;
    }
    // Home Assistant's birth: it may have lost every config.
    if (topic == topics._HomeAssistantStatus()) {
        if (!retained && payload == Online) {
            Log::_Write(Log::Info, QStringLiteral("Home Assistant started: publishing again"));
            broker->_Publish(topics._BridgeAvailability(), Online, true);
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
    if (retained) {
        _IgnoreRetained(topic);
        return;
    }
    if (node.levels == QStringList{Remove})
        _Remove(node);
    else
        _Command(topic, node, payload);
}

void Bridge_t::_ClaimReceived(const QByteArray &payload) {
    IdClaim_t::Claim_t other;
    if (!IdClaim_t::_Parse(payload, &other))
        return;
    if (other.instance == claim._Own().instance) {
        // The index is in; a serving bridge's answer follows within a round trip.
        if (!serving && claimTimer->isActive()) {
            claimEchoed = true;
            claimTimer->start(ClaimAnswerWaitMs);
        }
        return;
    }
    if (claim._YieldsTo(other, serving)) {
        _Yield(other);
        return;
    }
    if (serving && lastClaimAnswered != other.instance) {
        lastClaimAnswered = other.instance;
        Log::_Write(Log::Warning, QStringLiteral("%1 tried to start as bridge %2, which this "
                                                 "bridge serves: it is told to stop")
                                      .arg(IdClaim_t::_Describe(other), options.bridgeId));
    }
    if (serving)
        broker->_Publish(topics._Claim(), claim._Payload(true), false);
}

void Bridge_t::_Yield(const IdClaim_t::Claim_t &holder) {
    Log::_Write(Log::Error,
                QStringLiteral("the bridge id %1 is served by %2: give this bridge another "
                               "--bridge-id, or stop that one")
                    .arg(options.bridgeId, IdClaim_t::_Describe(holder)));
    exitCode = 1;
    _Quiet();
    // Without a last message or the last will: the id is the other's.
    broker->_Stop();
}

// A retained command would be run again on every connection.
void Bridge_t::_IgnoreRetained(const QString &topic) {
    if (!retainedCommandsLogged.contains(topic))
        Log::_Write(Log::Warning, QStringLiteral("%1: a retained message is no command; ignored "
                                                 "(clear it with mosquitto_pub -r -n -t '%1')")
                                      .arg(topic));
    retainedCommandsLogged.insert(topic);
}

void Bridge_t::_Command(const QString &topic, const Topics_t::NodeTopic_t &node,
                        const QByteArray &payload) {
    Device_t *device = _Device(node);
    if (!device || node.levels.size() != 2 || node.levels[1] != Set) {
        Log::_Write(Log::Warning, QStringLiteral("%1: no such node; ignored").arg(topic));
        return;
    }
    // A console may send many: what it gets wrong is said once per topic.
    if (node.levels[0] == Topics_t::_DatagramObject()) {
        if (device->_Datagram(_DatagramFromHex(payload)) == Device_t::Command_t::Malformed &&
            !refusedDatagramsLogged.contains(topic)) {
            refusedDatagramsLogged.insert(topic);
            Log::_Write(Log::Warning,
                        QStringLiteral("%1: \"%2\" is no datagram that a panel of a %3 sends, "
                                       "in hex; ignored (said once for this topic)")
                            .arg(topic, QString::fromLatin1(payload.left(64).toPercentEncoding()),
                                 device->_Model()));
        }
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
// a node read back has none), its state and its availability, under its
// address as the topic wrote it and as the bridge writes it. It comes back
// when it answers again.
void Bridge_t::_Remove(const Topics_t::NodeTopic_t &node) {
    const QString address = node.address.toString();
    if (Device_t *device = _Device(node)) {
        discoveryDue.erase(_Key(node));
        device->deleteLater();
        devices.erase(_Key(node));
        nodeLimitLogged = false;
    }
    index._Remove(node.link, address);
    QStringList spellings{address};
    if (node.addressText != address)
        spellings.append(node.addressText);
    for (const QString &spelling : std::as_const(spellings)) {
        const QString nodeTopic = topics._Node(node.link, spelling);
        remembered.remove(nodeTopic);
        const QString nodeId = topics._DiscoveryNodeId(node.link, spelling);
        for (const Device_t::Entity_t &entity : _EveryEntity())
            broker->_Publish(topics._Config(entity.component, nodeId, entity.object), {}, true);
        broker->_Publish(nodeTopic + QStringLiteral("/state"), {}, true);
        broker->_Publish(topics._Report(node.link, spelling), {}, true);
        broker->_Publish(nodeTopic + u'/' + Availability, {}, true);
        refusedDatagramsLogged.remove(topics._DatagramSet(node.link, spelling));
    }
    Log::_Write(Log::Info, QStringLiteral("removed %1%%2").arg(address, node.link));
}

void Bridge_t::_IndexReadBack(const QString &link, const QByteArray &payload) {
    for (const QString &address : NodeIndex_t::_Parse(payload)) {
        const QString canonical = _Canonical(address);
        if (canonical.isEmpty())
            continue;
        index._Add(link, canonical);
        _Remember(link, canonical, true);
    }
}

// An availability read back; one that says offline already needs nothing.
void Bridge_t::_ReadBack(const Topics_t::NodeTopic_t &node, const QByteArray &availability) {
    if (availability.isEmpty() || availability == Offline)
        return;
    const bool canonical = node.addressText == node.address.toString();
    if (canonical)
        index._Add(node.link, node.addressText);
    _Remember(node.link, node.addressText, canonical);
    if (serving && firstProbeWindowClosed)
        _MarkRememberedOffline();
}

// A node that answers needs nothing; one whose address is not written as the
// bridge writes it is not the device's, and goes offline in any case.
void Bridge_t::_Remember(const QString &link, const QString &addressText, bool canonical) {
    if (canonical && _LinkNumber(link) >= 0 &&
        devices.count({_LinkNumber(link), _NodeKey(QHostAddress(addressText))}))
        return;
    remembered.insert(topics._Node(link, addressText));
}

void Bridge_t::_MarkRememberedOffline() {
    int logged = 0;
    for (const QString &nodeTopic : std::as_const(remembered)) {
        if (++logged <= MarksLogged)
            Log::_Write(Log::Notice, QStringLiteral("%1 did not answer: offline").arg(nodeTopic));
        broker->_Publish(nodeTopic + u'/' + Availability, Offline, true);
    }
    if (logged > MarksLogged)
        Log::_Write(
            Log::Notice,
            QStringLiteral("%1 more nodes did not answer: offline").arg(logged - MarksLogged));
    remembered.clear();
}

QString Bridge_t::_NodeTopic(const Device_t *device) const {
    return topics._Node(device->_Link(), device->_Address());
}

void Bridge_t::_PublishDiscovery(Device_t *device) {
    device->discoveredName = device->_Name();
    device->discoveredAtMs = _Now().monotonicMs;
    if (!broker->_IsConnected() || !serving)
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
    if (!serving || device->liveness._LastHeardMs() == 0)
        return;
    broker->_Publish(_NodeTopic(device) + QStringLiteral("/state"),
                     QJsonDocument(device->_State()).toJson(QJsonDocument::Compact), true, 0);
}

// Every report as it came, none held back or merged: a console counts on each.
// At most once, as the states.
void Bridge_t::_PublishReport(const Device_t *device) {
    if (!serving || device->lastReport.datagram.isEmpty())
        return;
    broker->_Publish(topics._Report(device->_Link(), device->_Address()),
                     device->lastReport._Payload(), true, 0);
}

void Bridge_t::_PublishAvailability(const Device_t *device) {
    if (!serving)
        return;
    broker->_Publish(_NodeTopic(device) + u'/' + Availability,
                     device->liveness._NotAnswering() ? Offline : Online, true);
}

void Bridge_t::_PublishIndex(const QStringList &links) {
    for (const QString &link : links)
        broker->_Publish(topics._Index(link), index._Payload(link), true);
}
