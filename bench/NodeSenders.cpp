// SPDX-License-Identifier: GPL-3.0-or-later
#include "NodeSenders.h"

#include <QFile>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace Bench {

sockaddr_in6 Address(unsigned group, unsigned index) {
    sockaddr_in6 address;
    std::memset(&address, 0, sizeof address);
    address.sin6_family = AF_INET6;
    const QByteArray text = AddressText(group, index).toLatin1();
    inet_pton(AF_INET6, text.constData(), &address.sin6_addr);
    return address;
}

QString AddressText(unsigned group, unsigned index) {
    return QStringLiteral("fd00::%1:%2").arg(group, 0, 16).arg(index, 0, 16);
}

Sender::Sender(unsigned group, unsigned index) {
    fd = ::socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    // The addresses are not on any interface: bind them all the same.
    const int yes = 1;
    ::setsockopt(fd, IPPROTO_IPV6, IPV6_FREEBIND, &yes, sizeof yes);
    const sockaddr_in6 local = Address(group, index);
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0) {
        ::close(fd);
        fd = -1;
    }
}

Sender::~Sender() {
    if (fd >= 0)
        ::close(fd);
}

Sender::Sender(Sender &&other) noexcept
    : fd(other.fd) {
    other.fd = -1;
}

bool Sender::send(const QByteArray &datagram) const {
    sockaddr_in6 program;
    std::memset(&program, 0, sizeof program);
    program.sin6_family = AF_INET6;
    program.sin6_port = htons(4444);
    program.sin6_addr = in6addr_loopback;
    return ::sendto(fd, datagram.constData(), size_t(datagram.size()), 0,
                    reinterpret_cast<const sockaddr *>(&program),
                    sizeof program) == datagram.size();
}

namespace {
void AppendS32(QByteArray &bytes, qint32 value) {
    for (int i = 0; i < 4; ++i)
        bytes.append(char(quint32(value) >> (8 * i)));
}
} // namespace

QByteArray Report(Kind kind, unsigned variant, const QByteArray &name) {
    QByteArray report;
    switch (kind) {
    case Kind::Plug:
        report = QByteArray::fromHex("001001") + char(8);
        AppendS32(report, qint32(1000 + variant % 50000));
        AppendS32(report, qint32(2000 + variant % 70000));
        break;
    case Kind::ADPlug:
        report = QByteArray::fromHex("002001") + char(9) + char(variant & 1);
        AppendS32(report, qint32(1000 + variant % 50000));
        AppendS32(report, qint32(2000 + variant % 70000));
        break;
    case Kind::Bright:
        report = QByteArray::fromHex("001101") + char(8);
        AppendS32(report, qint32(variant % 400) - 100);
        AppendS32(report, qint32(variant % 100000));
        break;
    case Kind::Dimmer:
        report = QByteArray::fromHex("003001") + char(1) + char(variant % 101);
        break;
    case Kind::Blinds:
        // Blinds reports carry no name.
        return QByteArray::fromHex("002101") + char("\x00\x01\x03"[variant % 3]);
    }
    return report + char(name.size()) + name;
}

quint64 ReceiveBufferErrors() {
    QFile snmp(QStringLiteral("/proc/net/snmp6"));
    if (!snmp.open(QIODevice::ReadOnly))
        return 0;
    while (!snmp.atEnd()) {
        const QList<QByteArray> fields = snmp.readLine().simplified().split(' ');
        if (fields.size() == 2 && fields[0] == "Udp6RcvbufErrors")
            return fields[1].toULongLong();
    }
    return 0;
}

} // namespace Bench
