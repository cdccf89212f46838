// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SiteConsole.h"

#include "app/MainWindow.h"
#include "panels/ItemView.h"
#include "panels/ModuleLoader.h"
#include "protocol/Clock.h"
#include "protocol/Protocol.h"
#include "protocol/ReportReader.h"
#include "protocol/Route.h"
#include "protocol/SiteReport.h"

#include <QRandomGenerator>
#include <QScopeGuard>

namespace {
constexpr char ModuleName[] = "ternix36-site";
constexpr quint16 MqttPort = 1883;
constexpr quint16 MqttsPort = 8883;

quint16 _KindCode(const QByteArray &datagram) {
    return ReportReader_t(datagram)._U16(Ternix36::KindOffset);
}
} // namespace

SiteConsole_t::SiteConsole_t(const SiteOptions_t &options, QObject *parent)
    : QObject(parent)
    , options(options)
    , topics(options.baseTopic) {
    MqttClient_t::Settings_t settings;
    settings.host = options.broker.host;
    settings.port = options.broker.port;
    settings.tls = options.broker.tls;
    settings.caFile = options.caFile;
    settings.certFile = options.certFile;
    settings.keyFile = options.keyFile;
    settings.username = options.broker.username;
    settings.password = options.password;
    // A console of its own: two windows on one site must not drop each other.
    settings.clientId = QStringLiteral("ternix36-control-%1")
                            .arg(QRandomGenerator::system()->generate(), 8, 16, QLatin1Char('0'));
    QObject *module = ModuleLoader::_Instance(ModuleName, tr("site module"), &moduleError);
    auto *maker = qobject_cast<SiteBrokerMaker_t *>(module);
    if (module && !maker)
        moduleError = tr("%1 is not the site module").arg(QLatin1String(ModuleName));
    if (!maker)
        return;
    broker = maker->_MakeBroker(settings, this);
    broker->handlers.connected = [this] {
        _Connected();
    };
    broker->handlers.connecting = [this] {
        emit connecting();
    };
    broker->handlers.failed = [this](SiteFailure_t failure, const QString &why) {
        emit failed(failure, why);
    };
    broker->handlers.message = [this](const QString &topic, const QByteArray &payload,
                                      bool retained) {
        _Message(topic, payload, retained);
    };
}

bool SiteConsole_t::_Start(QString *error) {
    if (!broker) {
        *error = moduleError;
        return false;
    }
    return broker->_Start(error);
}

QString SiteConsole_t::_SiteName() const {
    const quint16 usual = options.broker.tls ? MqttsPort : MqttPort;
    const QString host = options.broker.host.contains(u':') ? u'[' + options.broker.host + u']'
                                                            : options.broker.host;
    return options.broker.port == usual
               ? host
               : QStringLiteral("%1:%2").arg(host).arg(options.broker.port);
}

void SiteConsole_t::_Probe(const QString &bridge) {
    if (!broker)
        return;
    const QStringList bridges = bridge.isEmpty() ? bridgesOnline.keys() : QStringList{bridge};
    for (const QString &each : bridges)
        broker->_Publish(topics._Probe(each), QByteArrayLiteral("probe"));
}

void SiteConsole_t::_Connected() {
    // The broker sends what it keeps for each: every node's latest report.
    for (const QString &pattern : topics._Patterns())
        broker->_Subscribe(pattern);
    emit connected();
}

void SiteConsole_t::_Message(const QString &topic, const QByteArray &payload, bool retained) {
    const SiteTopics_t::Message_t message = topics._Parse(topic);
    switch (message.kind) {
    case SiteTopics_t::Message_t::Report:
        _Report(message, payload, retained);
        break;
    case SiteTopics_t::Message_t::NodeAvailability:
        _NodeAvailability(message, payload);
        break;
    case SiteTopics_t::Message_t::BridgeAvailability:
        _BridgeAvailability(message.bridge, payload);
        break;
    case SiteTopics_t::Message_t::Other:
        break;
    }
}

void SiteConsole_t::_Report(const SiteTopics_t::Message_t &message, const QByteArray &payload,
                            bool retained) {
    SiteReport_t report;
    if (!SiteReport_t::_Read(payload, &report)) {
        ++dropped;
        return;
    }
    const Moment_t now = _Now();
    // Heard when the bridge heard it; its age on our monotonic clock is
    // guessed from the wall clocks only for a report kept from before.
    Moment_t heard{report.heardMs, now.monotonicMs};
    if (retained)
        heard.monotonicMs =
            qMax<qint64>(1, now.monotonicMs - qMax<qint64>(0, now.wallMs - report.heardMs));

    const Key_t key{message.bridge, message.link, _NodeKey(message.address)};
    Node_t &node = nodes[key];
    if (node.panel) {
        if (_KindCode(report.datagram) != node.kindCode) {
            ++dropped;
            return;
        }
        // A bridge publishes its nodes' latest reports again on every
        // connection and for Home Assistant's birth: a report already shown,
        // with its own time, is not news.
        const size_t hash = qHash(report.datagram);
        if (report.heardMs < node.lastHeardMs ||
            (report.heardMs == node.lastHeardMs && hash == node.lastDatagramHash))
            return;
        node.lastHeardMs = report.heardMs;
        node.lastDatagramHash = hash;
        _DeliverDatagram(node.panel, heard, report.datagram);
        ++routed;
        return;
    }

    const QString setTopic = topics._DatagramSet(message.bridge, message.link, message.addressText);
    const SitePlace_t place{message.bridge, message.link,
                            [this, setTopic](const QByteArray &command) {
                                broker->_Publish(setTopic, command.toHex());
                            }};
    pNewPanelPlace = &place;
    const auto done = qScopeGuard([] { pNewPanelPlace = nullptr; });
    node.panel = _AddPanelFor(message.address, heard, report.datagram);
    if (!node.panel) {
        nodes.erase(key);
        ++dropped;
        return;
    }
    ++routed;
    node.kindCode = _KindCode(report.datagram);
    node.lastHeardMs = report.heardMs;
    node.lastDatagramHash = qHash(report.datagram);
    _Link(message.bridge, message.link);
    _ShowAnswering(message.bridge, node, now);
}

void SiteConsole_t::_NodeAvailability(const SiteTopics_t::Message_t &message,
                                      const QByteArray &payload) {
    // Kept for a node whose report has yet to come.
    Node_t &node = nodes[{message.bridge, message.link, _NodeKey(message.address)}];
    node.online = payload != "offline";
    _Link(message.bridge, message.link);
    if (node.panel)
        _ShowAnswering(message.bridge, node, _Now());
}

void SiteConsole_t::_BridgeAvailability(const QString &bridge, const QByteArray &payload) {
    const bool online = payload != "offline";
    const bool known = bridgesOnline.contains(bridge);
    if (known && bridgesOnline.value(bridge) == online)
        return;
    bridgesOnline.insert(bridge, online);
    if (!known && online)
        return;
    const Moment_t now = _Now();
    for (auto &[key, node] : nodes)
        if (node.panel && std::get<0>(key) == bridge)
            _ShowAnswering(bridge, node, now);
}

void SiteConsole_t::_ShowAnswering(const QString &bridge, Node_t &node, const Moment_t &now) {
    const bool answering = node.online && bridgesOnline.value(bridge, true);
    if (!node.panel->_SetAnswering(answering, now))
        return;
    if (answering)
        pMainWindow->_AnswersAgain();
    else
        pMainWindow->_StopsAnswering();
}

void SiteConsole_t::_Link(const QString &bridge, const QString &link) {
    if (!bridgesOnline.contains(bridge))
        bridgesOnline.insert(bridge, true);
    const QString name = bridge + u'/' + link;
    if (links.contains(name))
        return;
    links.insert(name);
    emit linkFound(bridge, link);
}
