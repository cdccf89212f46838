// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/Simulator.h"

#include "sim/NodeFactory.h"
#include "sim/SimNode.h"

#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QUdpSocket>

#include <cstdio>

namespace {
constexpr QAbstractSocket::BindMode SharedBind =
    QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint;
} // namespace

Simulator_t::Simulator_t(const SimOptions_t &options, DatagramLog_t &log, QObject *parent)
    : QObject(parent)
    , interfaceName(options.interfaceName)
    , interfaceIndex(QNetworkInterface::interfaceIndexFromName(options.interfaceName))
    , reportEveryMs(options.reportEveryMs)
    , log(log)
    , probeSocket(new QUdpSocket(this)) {
    for (const NodeOption_t &node : options.nodes) {
        auto endpoint = std::make_unique<Endpoint_t>();
        endpoint->node = _CreateNode(node.kind, node.address, node.name, this);
        endpoint->socket = new QUdpSocket(this);
        endpoint->silentAfterMs = node.silentAfterMs;
        Endpoint_t *raw = endpoint.get();
        connect(endpoint->socket, &QUdpSocket::readyRead, this,
                [this, raw] { _ReadCommands(*raw); });
        connect(endpoint->node, &SimNode_t::_ReportDue, this,
                [this, raw] { _ReportUnasked(*raw); });
        endpoints.push_back(std::move(endpoint));
    }
    connect(probeSocket, &QUdpSocket::readyRead, this, &Simulator_t::_ReadProbes);
    connect(&reportTimer, &QTimer::timeout, this, [this] {
        for (const auto &endpoint : endpoints)
            _ReportUnasked(*endpoint);
    });
}

Simulator_t::~Simulator_t() = default;

QList<SimNode_t *> Simulator_t::_Nodes() const {
    QList<SimNode_t *> nodes;
    for (const auto &endpoint : endpoints)
        nodes.append(endpoint->node);
    return nodes;
}

bool Simulator_t::_Start(QString &error) {
    if (!probeSocket->bind(QHostAddress::AnyIPv6, Ternix36::NodePort, SharedBind)) {
        error = QStringLiteral("cannot bind port %1 for the probe: %2")
                    .arg(Ternix36::NodePort)
                    .arg(probeSocket->errorString());
        return false;
    }
    for (const auto &endpoint : endpoints) {
        QHostAddress address = endpoint->node->_Address();
        address.setScopeId(interfaceName);
        if (!endpoint->socket->bind(address, endpoint->node->_CommandPort(), SharedBind)) {
            error = QStringLiteral("cannot bind %1 port %2 (is the address on %3 and not "
                                   "tentative?): %4")
                        .arg(address.toString())
                        .arg(endpoint->node->_CommandPort())
                        .arg(interfaceName, endpoint->socket->errorString());
            return false;
        }
        log._Announce(*endpoint->node, interfaceIndex);
        if (endpoint->silentAfterMs >= 0)
            QTimer::singleShot(endpoint->silentAfterMs, this, [raw = endpoint.get()] {
                raw->silent = true;
                std::printf("\"%s\" falls silent\n", raw->node->_Name().constData());
                std::fflush(stdout);
            });
    }
    if (reportEveryMs > 0)
        reportTimer.start(reportEveryMs);
    return true;
}

DatagramLog_t::Entry_t Simulator_t::_Received(const QNetworkDatagram &datagram, const char *note,
                                              const SimNode_t *node) const {
    return {"received",
            note,
            node,
            datagram.senderAddress(),
            quint16(datagram.senderPort()),
            datagram.destinationAddress(),
            quint16(datagram.destinationPort()),
            int(datagram.interfaceIndex())};
}

Simulator_t::Endpoint_t *Simulator_t::_EndpointAt(const QHostAddress &address) {
    for (const auto &endpoint : endpoints)
        if (endpoint->node->_Address().isEqual(address, QHostAddress::StrictConversion))
            return endpoint.get();
    return nullptr;
}

void Simulator_t::_ReadProbes() {
    while (probeSocket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = probeSocket->receiveDatagram();
        if (!datagram.isValid())
            continue;
        if (datagram.interfaceIndex() != 0 && int(datagram.interfaceIndex()) != interfaceIndex) {
            log._Write(_Received(datagram, "ignored", nullptr), datagram.data());
            continue;
        }
        if (datagram.data() != Ternix36::ProbeDatagram()) {
            // Something else at port 40000, perhaps a command for a node of
            // another port: say which node it was meant for.
            QHostAddress destination = datagram.destinationAddress();
            destination.setScopeId(QString());
            const Endpoint_t *addressed = _EndpointAt(destination);
            log._Write(_Received(datagram, "malformed", addressed ? addressed->node : nullptr),
                       datagram.data());
            continue;
        }
        log._Write(_Received(datagram, "probe", nullptr), datagram.data());
        for (const auto &endpoint : endpoints)
            _Answer(*endpoint, datagram.senderAddress(), "probe");
    }
}

void Simulator_t::_ReadCommands(Endpoint_t &endpoint) {
    while (endpoint.socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = endpoint.socket->receiveDatagram();
        if (!datagram.isValid())
            continue;
        // A probe sent to the node itself gets its report too.
        const bool probe = datagram.data() == Ternix36::ProbeDatagram();
        if (!probe && !endpoint.node->_Command(datagram.data())) {
            log._Write(_Received(datagram, "malformed", endpoint.node), datagram.data());
            continue;
        }
        const char *note = probe ? "probe" : "command";
        log._Write(_Received(datagram, note, endpoint.node), datagram.data());
        _Answer(endpoint, datagram.senderAddress(), note);
    }
}

void Simulator_t::_Answer(Endpoint_t &endpoint, const QHostAddress &to, const char *note) {
    endpoint.peer = to;
    if (endpoint.silent)
        return;
    const QByteArray report = endpoint.node->_Report();
    if (endpoint.socket->writeDatagram(report, to, Ternix36::ProgramPort) != report.size())
        std::fprintf(stderr, "ternix36-sim: %s: cannot send to %s: %s\n",
                     endpoint.node->_Name().constData(), qPrintable(to.toString()),
                     qPrintable(endpoint.socket->errorString()));
    log._Write({"sent", note, endpoint.node, endpoint.node->_Address(),
                endpoint.socket->localPort(), to, Ternix36::ProgramPort, interfaceIndex},
               report);
}

void Simulator_t::_ReportUnasked(Endpoint_t &endpoint) {
    if (endpoint.peer.isNull())
        return; // nobody has asked yet
    _Answer(endpoint, endpoint.peer, "unasked");
}
