// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A node of our own on the test link: a socket made in the simulator's
// network namespace and bound there with IPV6_FREEBIND to a link-local
// address that no interface holds, so that what it sends crosses the link
// to the program side's address, as a real node's report does. Nothing
// answers for its address, so the commands sent back to it are lost.

#include <QByteArray>
#include <QHostAddress>
#include <QString>

#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#ifndef IPV6_FREEBIND
#define IPV6_FREEBIND 78 // linux/in6.h
#endif

class LinkNode {
public:
    // address: the node's, on the simulator side of the link whose simulator
    // runs as simPid on simInterface; programAddress: the other side's.
    LinkNode(const QString &address, qint64 simPid, const char *simInterface = "t36sim0",
             const QString &programAddress = QStringLiteral("fe80::ffff:1")) {
        const int own = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
        const int sim =
            ::open(QByteArray("/proc/" + QByteArray::number(simPid) + "/ns/net").constData(),
                   O_RDONLY | O_CLOEXEC);
        if (own >= 0 && sim >= 0 && ::setns(sim, CLONE_NEWNET) == 0) {
            const uint index = ::if_nametoindex(simInterface);
            descriptor = ::socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            const int on = 1;
            const sockaddr_in6 local = socketAddress(QHostAddress(address), 0, index);
            bound =
                index != 0 && descriptor >= 0 &&
                ::setsockopt(descriptor, IPPROTO_IPV6, IPV6_FREEBIND, &on, sizeof on) == 0 &&
                ::bind(descriptor, reinterpret_cast<const sockaddr *>(&local), sizeof local) == 0;
            to = socketAddress(QHostAddress(programAddress), 4444, index);
            bound = ::setns(own, CLONE_NEWNET) == 0 && bound;
        }
        for (const int fd : {own, sim})
            if (fd >= 0)
                ::close(fd);
    }
    ~LinkNode() {
        if (descriptor >= 0)
            ::close(descriptor);
    }
    LinkNode(const LinkNode &) = delete;
    LinkNode &operator=(const LinkNode &) = delete;

    bool isBound() const { return bound; }
    // To the program side's port 4444; true when the kernel took it.
    bool send(const QByteArray &datagram) const {
        return ::sendto(descriptor, datagram.constData(), size_t(datagram.size()), 0,
                        reinterpret_cast<const sockaddr *>(&to), sizeof to) == datagram.size();
    }

private:
    static sockaddr_in6 socketAddress(const QHostAddress &host, quint16 port, uint scope) {
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
    sockaddr_in6 to{};
};
