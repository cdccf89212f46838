// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/Link.h"

#include "bridge/PortHolder.h"
#include "mqtt/Log.h"
#include "protocol/Protocol.h"

#include <QElapsedTimer>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// As the window: the receive buffer holds the answers of many nodes to one probe.
constexpr int ReceiveBufferBytes = 8 * 1024 * 1024;
// As the window: one pass over the socket reads for at most this long, so
// that a flood does not hold up the broker, the timers and the signals.
constexpr qint64 ReadingTimeMs = 10;

QString _Errno() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

QString _Holder(quint16 port) {
    const QString holder = _UdpPortHolder(port);
    return holder.isEmpty() ? QStringLiteral("another program") : holder;
}

sockaddr_in6 _SocketAddress(const QHostAddress &address, quint16 port, uint scope) {
    sockaddr_in6 socketAddress = {};
    socketAddress.sin6_family = AF_INET6;
    socketAddress.sin6_port = htons(port);
    socketAddress.sin6_scope_id = scope;
    const Q_IPV6ADDR bytes = address.toIPv6Address();
    std::memcpy(&socketAddress.sin6_addr, bytes.c, sizeof socketAddress.sin6_addr);
    return socketAddress;
}

// A UDP socket on [::]:port that only this interface reaches, and that no
// other socket may share; -1 with the reason when it cannot be had, and
// `taken` set when another socket holds the port.
int _BoundSocket(const QString &interfaceName, quint16 port, QString *error, bool *taken) {
    *taken = false;
    const int fd = ::socket(AF_INET6, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = QStringLiteral("cannot open a UDP socket: %1").arg(_Errno());
        return -1;
    }
    const QByteArray device = interfaceName.toLocal8Bit();
    const int on = 1;
    const sockaddr_in6 any = _SocketAddress(QHostAddress::AnyIPv6, port, 0);
    if (::setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, device.constData(),
                     socklen_t(device.size())) != 0) {
        *error = QStringLiteral("cannot bind a UDP socket to %1: %2").arg(interfaceName, _Errno());
    } else if (::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on) != 0) {
        *error = QStringLiteral("cannot make a UDP socket IPv6 only: %1").arg(_Errno());
    } else if (::bind(fd, reinterpret_cast<const sockaddr *>(&any), sizeof any) != 0) {
        *taken = errno == EADDRINUSE;
        *error = *taken ? QStringLiteral("UDP port %1 on %2 is taken by %3")
                              .arg(port)
                              .arg(interfaceName, _Holder(port))
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
    , index(interfaceIndex) {
}

Link_t::~Link_t() {
    _Close();
}

Link_t::Open_t Link_t::_Open(QString *error) {
    _Close();
    bool taken = false;
    nodeSocket = _BoundSocket(name, Ternix36::ProgramPort, error, &taken);
    if (nodeSocket < 0)
        return taken ? Open_t::Taken : Open_t::Failed;
    commandSocket = _BoundSocket(name, 0, error, &taken);
    if (commandSocket < 0) {
        _Close();
        return Open_t::Failed;
    }
    // Best effort: without it, the kernel's default buffer.
    ::setsockopt(nodeSocket, SOL_SOCKET, SO_RCVBUF, &ReceiveBufferBytes, sizeof ReceiveBufferBytes);
    notifier = new QSocketNotifier(nodeSocket, QSocketNotifier::Read, this);
    notifier->setEnabled(reading);
    connect(notifier, &QSocketNotifier::activated, this, &Link_t::_DatagramsWaiting);
    return Open_t::Opened;
}

void Link_t::_Close() {
    if (notifier) {
        // Perhaps from within its own activation.
        notifier->setEnabled(false);
        notifier->deleteLater();
        notifier = nullptr;
    }
    for (int *socket : {&nodeSocket, &commandSocket}) {
        if (*socket >= 0)
            ::close(*socket);
        *socket = -1;
    }
}

void Link_t::_SetReading(bool on) {
    reading = on;
    if (notifier)
        notifier->setEnabled(on);
}

Link_t::Change_t Link_t::_Watch() {
    const uint now = ::if_nametoindex(name.toLocal8Bit().constData());
    if (now == index)
        return Change_t::None;
    if (now == 0) {
        Log::_Write(Log::Warning, QStringLiteral("interface %1 is gone: its nodes go offline when "
                                                 "the next probe goes unanswered; waiting for it "
                                                 "to come back")
                                      .arg(name));
        _Close();
        index = 0;
        return Change_t::Gone;
    }
    const uint before = index;
    QString error;
    if (_Open(&error) != Open_t::Opened) {
        // Tried again at the next look.
        if (!rebindFailureLogged)
            Log::_Write(Log::Error, error);
        rebindFailureLogged = true;
        index = 0;
        return before == 0 ? Change_t::None : Change_t::Gone;
    }
    index = now;
    rebindFailureLogged = false;
    probeFailureLogged = false;
    sendFailureLogged = false;
    Log::_Write(
        Log::Notice,
        QStringLiteral("interface %1 is back (index %2): serving it again").arg(name).arg(now));
    return Change_t::Back;
}

bool Link_t::_Probe() {
    // A link that is gone was said so once.
    if (index == 0 || nodeSocket < 0)
        return false;
    const QByteArray probe = Ternix36::ProbeDatagram();
    const sockaddr_in6 to =
        _SocketAddress(Ternix36::ProbeAddress(QString()), Ternix36::NodePort, index);
    return _Sent(::sendto(nodeSocket, probe.constData(), size_t(probe.size()), 0,
                          reinterpret_cast<const sockaddr *>(&to), sizeof to),
                 QStringLiteral("probe"), &probeFailureLogged);
}

void Link_t::_Send(const QByteArray &command, const QHostAddress &node, quint16 port) {
    if (index == 0 || commandSocket < 0)
        return;
    const sockaddr_in6 to = _SocketAddress(node, port, index);
    _Sent(::sendto(commandSocket, command.constData(), size_t(command.size()), 0,
                   reinterpret_cast<const sockaddr *>(&to), sizeof to),
          QStringLiteral("send a command"), &sendFailureLogged);
}

// Logged once while it keeps failing: a link that is down fails every datagram.
bool Link_t::_Sent(ssize_t result, const QString &what, bool *failureLogged) {
    if (result < 0 && !*failureLogged)
        Log::_Write(Log::Warning, QStringLiteral("cannot %1 on %2: %3").arg(what, name, _Errno()));
    *failureLogged = result < 0;
    return result >= 0;
}

// What is left after a pass announces itself again once the broker, the
// timers and the signals have had their turn.
void Link_t::_DatagramsWaiting() {
    QElapsedTimer pass;
    pass.start();
    char buffer[Ternix36::MaxDatagramSize];
    do {
        sockaddr_in6 from = {};
        socklen_t fromSize = sizeof from;
        const ssize_t length = ::recvfrom(nodeSocket, buffer, sizeof buffer, 0,
                                          reinterpret_cast<sockaddr *>(&from), &fromSize);
        if (length < 0)
            return;
        const QHostAddress sender(reinterpret_cast<const quint8 *>(&from.sin6_addr));
        emit datagramReceived(sender, QByteArray(buffer, length));
    } while (reading && nodeSocket >= 0 && pass.elapsed() < ReadingTimeMs);
}
