// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <array>

class QHostAddress;

// A node is known by the 16 bytes of its IPv6 address; the scope through
// which it was heard plays no part. std::array orders them as unsigned bytes.
using NodeKey_t = std::array<quint8, 16>;

NodeKey_t _NodeKey(const QHostAddress &address);
