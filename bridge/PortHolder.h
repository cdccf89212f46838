// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

// Which program holds a UDP port in this network namespace, as the log names
// it: "ternix36-control (process 4321)". Empty when none can be found: the
// socket is another user's whose descriptors this process may not read, or
// the port is free again. Sockets of this process are not counted.
QString _UdpPortHolder(quint16 port);
