// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A node of our own on the test link: a FreeSender made in the simulator's
// network namespace, bound there to a link-local address that no interface
// holds, so that what it sends crosses the link to the program side's
// address, as a real node's report does. Nothing answers for its address, so
// the commands sent back to it are lost.

#include "FreeSender.h"

#include <QByteArray>
#include <QHostAddress>
#include <QString>

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <unistd.h>

#include <optional>

class LinkNode {
public:
    // address: the node's, on the simulator side of the link whose simulator
    // runs as simPid on simInterface; programAddress: the other side's.
    LinkNode(const QString &address, qint64 simPid, const char *simInterface = "t36sim0",
             const QString &programAddress = QStringLiteral("fe80::ffff:1"))
        : to(programAddress) {
        const int own = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
        const int sim =
            ::open(QByteArray("/proc/" + QByteArray::number(simPid) + "/ns/net").constData(),
                   O_RDONLY | O_CLOEXEC);
        if (own >= 0 && sim >= 0 && ::setns(sim, CLONE_NEWNET) == 0) {
            scope = ::if_nametoindex(simInterface);
            if (scope != 0)
                sender.emplace(QHostAddress(address), scope);
            back = ::setns(own, CLONE_NEWNET) == 0;
        }
        for (const int fd : {own, sim})
            if (fd >= 0)
                ::close(fd);
    }

    bool isBound() const { return back && sender && sender->isBound(); }
    // To the program side's port 4444; true when the kernel took it.
    bool send(const QByteArray &datagram) const {
        return sender && sender->sendTo(datagram, to, 4444, scope);
    }

private:
    QHostAddress to;
    uint scope = 0;
    std::optional<FreeSender> sender;
    bool back = false;
};
