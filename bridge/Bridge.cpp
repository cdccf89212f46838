// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/Bridge.h"

#include "bridge/ADPlugDevice.h"
#include "bridge/BlindsDevice.h"
#include "bridge/BrightDevice.h"
#include "bridge/DimmerDevice.h"
#include "bridge/Discovery.h"
#include "bridge/Log.h"
#include "bridge/MqttClient.h"
#include "bridge/PlugDevice.h"
#include "protocol/Protocol.h"
#include "protocol/ReportReader.h"

#include <QDateTime>
#include <QHostAddress>
#include <QHostInfo>
#include <QJsonDocument>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>

namespace {
// As the window: longer datagrams are cut, and the receive buffer holds the
// answers of many nodes to one probe.
constexpr qint64 MaxDatagramSize = 1024;
constexpr int ReceiveBufferBytes = 8 * 1024 * 1024;
const QByteArray Online = QByteArrayLiteral("online");
const QByteArray Offline = QByteArrayLiteral("offline");

qint64 _Now() {
    return QDateTime::currentMSecsSinceEpoch();
}
} // namespace

Bridge_t::Bridge_t(const BridgeOptions_t &options, uint interfaceIndex, QObject *parent)
    : QObject(parent)
    , options(options)
    , scope(QString::number(interfaceIndex))
    , nodeSocket(new QUdpSocket(this))
    , commandSocket(new QUdpSocket(this))
    , probeTimer(new QTimer(this)) {
    MqttClient_t::Settings_t settings;
    settings.host = options.brokerHost;
    settings.port = options.brokerPort;
    settings.tls = options.tls;
    settings.caFile = options.caFile;
    settings.username = options.username;
    settings.password = options.password;
    settings.clientId = QStringLiteral("ternix36-bridge-%1-%2")
                            .arg(QHostInfo::localHostName(), options.interfaceName);
    settings.willTopic = _BridgeAvailabilityTopic();
    settings.willPayload = Offline;
    broker = new MqttClient_t(settings, this);
    connect(broker, &MqttClient_t::connectedToBroker, this, &Bridge_t::_BrokerConnected);
    connect(broker, &MqttClient_t::messageReceived, this, &Bridge_t::_CommandReceived);
    connect(broker, &MqttClient_t::stopped, this, &Bridge_t::finished);

    probeTimer->setInterval(options.probeEverySeconds * 1000);
    connect(probeTimer, &QTimer::timeout, this, &Bridge_t::_Probe);
    connect(nodeSocket, &QUdpSocket::readyRead, this, &Bridge_t::_DatagramsWaiting);
}

bool Bridge_t::_Start(QString *error) {
    if (!nodeSocket->bind(QHostAddress::AnyIPv6, Ternix36::ProgramPort, QUdpSocket::ShareAddress)) {
        *error = QStringLiteral("cannot bind UDP port %1: %2")
                     .arg(Ternix36::ProgramPort)
                     .arg(nodeSocket->errorString());
        return false;
    }
    nodeSocket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, ReceiveBufferBytes);
    broker->_Start();
    _Probe();
    probeTimer->start();
    return true;
}

void Bridge_t::_Stop() {
    probeTimer->stop();
    Log::_Write(Log::Info, QStringLiteral("stopping"));
    broker->_Stop(_BridgeAvailabilityTopic(), Offline);
}

void Bridge_t::_Probe() {
    nodeSocket->writeDatagram(Ternix36::ProbeDatagram(), Ternix36::ProbeAddress(scope),
                              Ternix36::NodePort);
    const qint64 probeMs = _Now();
    QTimer::singleShot(Ternix36::ProbeAnswerMs, this,
                       [this, probeMs] { _ProbeWindowClosed(probeMs); });
}

void Bridge_t::_ProbeWindowClosed(qint64 probeMs) {
    for (Device_t *device : std::as_const(devices)) {
        if (device->liveness._ProbeExpired(probeMs)) {
            Log::_Write(Log::Notice,
                        QStringLiteral("%1 did not answer the probe: offline").arg(device->_Id()));
            _PublishAvailability(device);
        }
    }
}

void Bridge_t::_DatagramsWaiting() {
    while (nodeSocket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = nodeSocket->receiveDatagram(MaxDatagramSize);
        _Route(datagram.senderAddress(), datagram.data());
    }
}

void Bridge_t::_Route(const QHostAddress &sender, const QByteArray &datagram) {
    const NodeKey_t key = _NodeKey(sender);
    const ReportReader_t report(datagram);
    Device_t *device = devices.value(key);
    if (!device) {
        if (!report._IsReport())
            return;
        device = _CreateDevice(report._U16(Ternix36::KindOffset), sender);
        if (!device)
            return;
        devices.insert(key, device);
        devicesById.insert(device->_Id(), device);
        Log::_Write(Log::Info,
                    QStringLiteral("found %1 at %2").arg(device->_Model(), device->_Id()));
    }

    const bool known = device->liveness._LastHeardMs() != 0;
    const bool answeringAgain = device->liveness._Heard(_Now());
    if (report._IsReport())
        device->_Read(report);
    if (!known || discoveredNames.value(device) != device->_Name())
        _PublishDiscovery(device);
    if (!known || answeringAgain)
        _PublishAvailability(device);
    if (report._IsReport())
        _PublishState(device);
}

// The kind table: which device a NodeKind calls for.
Device_t *Bridge_t::_CreateDevice(quint16 kind, const QHostAddress &sender) {
    QHostAddress address = sender;
    address.setScopeId(QString());
    const QString id = address.toString().toLower();
    address.setScopeId(scope);
    const Device_t::Sender_t send = [this, address](const QByteArray &command, quint16 port) {
        commandSocket->writeDatagram(command, address, port);
    };
    switch (kind) {
    case Ternix36::KindPlug:
        return new PlugDevice_t(id, send, this);
    case Ternix36::KindADPlug:
        return new ADPlugDevice_t(id, send, this);
    case Ternix36::KindBright:
    case Ternix36::KindBright2:
        return new BrightDevice_t(id, send, this);
    case Ternix36::KindDimmer:
        return new DimmerDevice_t(id, send, this);
    case Ternix36::KindBlinds:
        return new BlindsDevice_t(id, send, this);
    default:
        return nullptr;
    }
}

void Bridge_t::_BrokerConnected() {
    broker->_Publish(_BridgeAvailabilityTopic(), Online, true);
    broker->_Subscribe(options.baseTopic + QStringLiteral("/+/+/set"));
    _PublishAll();
}

void Bridge_t::_PublishAll() {
    for (const Device_t *device : std::as_const(devices)) {
        _PublishDiscovery(device);
        _PublishAvailability(device);
        _PublishState(device);
    }
}

void Bridge_t::_CommandReceived(const QString &topic, const QByteArray &payload) {
    // BASE/NODE/OBJECT/set; the base topic may have levels of its own.
    const QString prefix = options.baseTopic + u'/';
    const QStringList levels = topic.mid(prefix.size()).split(u'/');
    Device_t *device = levels.size() == 3 ? devicesById.value(levels[0]) : nullptr;
    if (!topic.startsWith(prefix) || !device) {
        Log::_Write(Log::Warning, QStringLiteral("%1: no such node; ignored").arg(topic));
        return;
    }
    if (device->_Command(levels[1], payload) == Device_t::Command_t::Malformed) {
        const QString shown = QString::fromUtf8(payload.left(64).toPercentEncoding(" {}\":,"));
        Log::_Write(
            Log::Warning,
            QStringLiteral("%1: payload \"%2\" means nothing here; ignored").arg(topic, shown));
    }
}

QString Bridge_t::_NodeTopic(const Device_t *device) const {
    return options.baseTopic + u'/' + device->_Id();
}

QString Bridge_t::_BridgeAvailabilityTopic() const {
    return options.baseTopic + QStringLiteral("/bridge/availability");
}

void Bridge_t::_PublishDiscovery(const Device_t *device) {
    discoveredNames.insert(device, device->_Name());
    if (!broker->_IsConnected())
        return;
    const Discovery_t discovery(options.discoveryPrefix, _BridgeAvailabilityTopic());
    for (const Device_t::Entity_t &entity : device->_Entities())
        broker->_Publish(discovery._Topic(*device, entity),
                         discovery._Config(*device, entity, _NodeTopic(device)), true);
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
    broker->_Publish(_NodeTopic(device) + QStringLiteral("/availability"),
                     device->liveness._NotAnswering() ? Offline : Online, true);
}
