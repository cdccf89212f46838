// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A node with any IPv6 address we like: a socket bound with IPV6_FREEBIND to
// an address that no interface holds, sending to the program's port on this
// machine. Inside a test's private network namespace nothing answers for such
// an address, so the commands that the program sends back are lost.

#include <QByteArray>
#include <QHostAddress>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#ifndef IPV6_FREEBIND
#define IPV6_FREEBIND 78 // linux/in6.h
#endif

class FreeSender {
public:
    // scope: the interface index of a link-local `from`.
    explicit FreeSender(const QHostAddress &from, uint scope = 0) {
        descriptor = ::socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        sockaddr_in6 local = address(from, 0, scope);
        bound = descriptor >= 0 &&
                ::setsockopt(descriptor, IPPROTO_IPV6, IPV6_FREEBIND, &on, sizeof on) == 0 &&
                ::bind(descriptor, reinterpret_cast<sockaddr *>(&local), sizeof local) == 0;
    }
    ~FreeSender() {
        if (descriptor >= 0)
            ::close(descriptor);
    }
    FreeSender(const FreeSender &) = delete;
    FreeSender &operator=(const FreeSender &) = delete;

    bool isBound() const { return bound; }

    // To the program's port on loopback; true when the kernel took it.
    bool send(const QByteArray &datagram, quint16 port = 4444) const {
        return sendTo(datagram, QHostAddress::LocalHostIPv6, port);
    }
    bool sendTo(const QByteArray &datagram, const QHostAddress &host, quint16 port,
                uint scope = 0) const {
        const sockaddr_in6 to = address(host, port, scope);
        return ::sendto(descriptor, datagram.constData(), size_t(datagram.size()), 0,
                        reinterpret_cast<const sockaddr *>(&to), sizeof to) == datagram.size();
    }

private:
    static sockaddr_in6 address(const QHostAddress &host, quint16 port, uint scope) {
        sockaddr_in6 socketAddress;
        std::memset(&socketAddress, 0, sizeof socketAddress);
        socketAddress.sin6_family = AF_INET6;
        socketAddress.sin6_port = htons(port);
        socketAddress.sin6_scope_id = scope;
        const Q_IPV6ADDR bytes = host.toIPv6Address();
        std::memcpy(&socketAddress.sin6_addr, bytes.c, 16);
        return socketAddress;
    }

    int descriptor = -1;
    bool bound = false;
};
