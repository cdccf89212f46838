// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What every TERNIX36 datagram shares: ports, the three-byte header, the node
// kinds and the discovery probe. What each kind is, and where it takes its
// commands, is in NodeKinds.h; its reports and commands are in its own file
// here (PlugWire.h, ADPlugWire.h, BrightWire.h, DimmerWire.h, BlindsWire.h).

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <QtGlobal>

namespace Ternix36 {

// The program receives everything on this port, and the probe leaves from it.
constexpr quint16 ProgramPort = 4444;
// Nodes listen for the probe, and some kinds for their commands, here.
constexpr quint16 NodePort = 40000;

// Operation byte (byte 0) of the commands the program sends.
constexpr quint8 OpRequest = 0xC0;
constexpr quint8 OpConfigure = 0x80;

// Longer datagrams are cut to this size; no node sends one.
constexpr int MaxDatagramSize = 1024;

// The header is operation byte, then NodeKind as a little-endian u16.
constexpr int HeaderSize = 3;
constexpr int KindOffset = 1;

enum NodeKind : quint16 {
    KindPlug = 0x0110,
    KindBright = 0x0111,
    KindBright2 = 0x0112,
    KindADPlug = 0x0120,
    KindBlinds = 0x0121,
    KindDimmer = 0x0130,
};

// The three header bytes of a command from a panel of the given kind.
QByteArray CommandHeader(quint8 operation, NodeKind kind);

// The discovery probe: ten bytes 00 01 .. 09, not a header.
QByteArray ProbeDatagram();
constexpr int ProbeSize = 10;
// The link-local all-nodes group, completed with the interface name as scope.
inline constexpr char ProbeAddressPrefix[] = "ff02::1%";
QHostAddress ProbeAddress(const QString &interfaceName);

} // namespace Ternix36
