// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/NodeMap.h"

QMap<NodeKey_t, ItemView_t *> NodeMap;
