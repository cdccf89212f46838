// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/NodeKey.h"

#include <QHostAddress>

NodeKey_t _NodeKey(const QHostAddress &address) {
    const Q_IPV6ADDR bytes = address.toIPv6Address();
    NodeKey_t key;
    for (int i = 0; i < 16; ++i)
        key[i] = bytes[i];
    return key;
}
