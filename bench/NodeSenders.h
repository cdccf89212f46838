// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The node side of the benchmarks: plain POSIX UDP sockets, each bound to its
// own address in fd00::/64 (made local by a route on loopback), sending to
// the program's port from another thread than the GUI's.

#include <QByteArray>
#include <QString>

#include <netinet/in.h>

#include <vector>

namespace Bench {

// fd00::<group>:<index>, e.g. Address(1, 7) is fd00::1:7.
sockaddr_in6 Address(unsigned group, unsigned index);
QString AddressText(unsigned group, unsigned index);

class Sender {
public:
    Sender(unsigned group, unsigned index);
    ~Sender();
    Sender(const Sender &) = delete;
    Sender &operator=(const Sender &) = delete;
    Sender(Sender &&other) noexcept;

    bool isOpen() const { return fd >= 0; }
    // To the program's port on ::1.
    bool send(const QByteArray &datagram) const;

private:
    int fd = -1;
};

// A report of each kind the program shows, with readings that change with
// `variant` so that every report changes what the panel shows.
enum class Kind { Plug, ADPlug, Bright, Dimmer, Blinds };
constexpr int KindCount = 5;
QByteArray Report(Kind kind, unsigned variant, const QByteArray &name);

// Kernel counter of datagrams dropped for want of receive-buffer space.
quint64 ReceiveBufferErrors();

} // namespace Bench
