// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/CommandBudget.h"

bool CommandBudget_t::_Take(qint64 nowMs) {
    // The oldest of the last PerSecond: within the window, the budget is spent.
    if (sentMs[next] != 0 && nowMs - sentMs[next] < WindowMs)
        return false;
    sentMs[next] = nowMs;
    next = (next + 1) % PerSecond;
    return true;
}
