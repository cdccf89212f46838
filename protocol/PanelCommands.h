// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/Protocol.h"

#include <QByteArray>

// Whether a datagram is one that the panel of a node of this kind sends:
// its operation byte, kind code and length are those of one of the panel's
// commands (the values in it are the node's to judge). A bridge passes on
// from the broker only such datagrams.
bool _IsPanelCommand(Ternix36::NodeKind nodeKind, const QByteArray &datagram);
