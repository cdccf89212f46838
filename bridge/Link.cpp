// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/Link.h"

#include "bridge/Log.h"
#include "protocol/Protocol.h"

#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QVariant>

#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// As the window: longer datagrams are cut, and the receive buffer holds the
// answers of many nodes to one probe.
constexpr qint64 MaxDatagramSize = 1024;
constexpr int ReceiveBufferBytes = 8 * 1024 * 1024;

QString _Errno() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// A UDP socket on [::]:port that only this interface reaches, and that no
// other socket may share.
int _BoundSocket(const QString &interfaceName, quint16 port, QString *error) {
    const int fd = ::socket(AF_INET6, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = QStringLiteral("cannot open a UDP socket: %1").arg(_Errno());
        return -1;
    }
    const QByteArray device = interfaceName.toLocal8Bit();
    const int on = 1;
    sockaddr_in6 any = {};
    any.sin6_family = AF_INET6;
    any.sin6_port = htons(port);
    if (::setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, device.constData(),
                     socklen_t(device.size())) != 0) {
        *error = QStringLiteral("cannot bind a UDP socket to %1: %2").arg(interfaceName, _Errno());
    } else if (::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on) != 0) {
        *error = QStringLiteral("cannot make a UDP socket IPv6 only: %1").arg(_Errno());
    } else if (::bind(fd, reinterpret_cast<const sockaddr *>(&any), sizeof any) != 0) {
        *error = errno == EADDRINUSE
                     ? QStringLiteral("UDP port %1 on %2 is taken by another program (another "
                                      "ternix36-bridge, or ternix36-control?): one bridge serves "
                                      "every link of a host")
                           .arg(port)
                           .arg(interfaceName)
                     : QStringLiteral("cannot bind UDP port %1 on %2: %3")
                           .arg(port)
                           .arg(interfaceName, _Errno());
    } else {
        return fd;
    }
    ::close(fd);
    return -1;
}
} // namespace

Link_t::Link_t(const QString &interfaceName, uint interfaceIndex, QObject *parent)
    : QObject(parent)
    , name(interfaceName)
    , index(interfaceIndex)
    , nodeSocket(new QUdpSocket(this))
    , commandSocket(new QUdpSocket(this)) {
    connect(nodeSocket, &QUdpSocket::readyRead, this, &Link_t::_DatagramsWaiting);
}

bool Link_t::_Open(QString *error) {
    for (auto [socket, port] :
         {std::pair(nodeSocket, Ternix36::ProgramPort), std::pair(commandSocket, quint16(0))}) {
        const int fd = _BoundSocket(name, port, error);
        if (fd < 0)
            return false;
        if (!socket->setSocketDescriptor(fd, QAbstractSocket::BoundState)) {
            ::close(fd);
            *error = QStringLiteral("cannot use a UDP socket on %1: %2")
                         .arg(name, socket->errorString());
            return false;
        }
    }
    nodeSocket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption,
                                QVariant(ReceiveBufferBytes));
    return true;
}

void Link_t::_Probe() {
    _Sent(nodeSocket->writeDatagram(Ternix36::ProbeDatagram(),
                                    Ternix36::ProbeAddress(QString::number(index)),
                                    Ternix36::NodePort),
          nodeSocket, QStringLiteral("probe"), &probeFailureLogged);
}

void Link_t::_Send(const QByteArray &command, const QHostAddress &node, quint16 port) {
    QHostAddress scoped = node;
    scoped.setScopeId(QString::number(index));
    _Sent(commandSocket->writeDatagram(command, scoped, port), commandSocket,
          QStringLiteral("send a command"), &sendFailureLogged);
}

// Logged once while it keeps failing: a link that is down fails every datagram.
void Link_t::_Sent(qint64 result, const QUdpSocket *socket, const QString &what,
                   bool *failureLogged) {
    if (result < 0 && !*failureLogged)
        Log::_Write(Log::Warning,
                    QStringLiteral("cannot %1 on %2: %3").arg(what, name, socket->errorString()));
    *failureLogged = result < 0;
}

void Link_t::_DatagramsWaiting() {
    while (nodeSocket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = nodeSocket->receiveDatagram(MaxDatagramSize);
        emit datagramReceived(datagram.senderAddress(), datagram.data());
    }
}
