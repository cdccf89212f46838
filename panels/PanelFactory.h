// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/NodeKinds.h"

class ItemView_t;
class QByteArray;
class QHostAddress;

// The panel of a node of the given type, built from its first datagram.
ItemView_t *_CreatePanel(Ternix36::_NodeType type, const QHostAddress &sender,
                         const QByteArray &datagram);
