// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/NodeKey.h"

#include <QMap>

class ItemView_t;

// Every node heard so far, with its panel. The panels belong to the main
// window, not to the map; the window takes a panel out when it removes one.
extern QMap<NodeKey_t, ItemView_t *> NodeMap;
