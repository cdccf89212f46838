// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <array>

// How many commands a node is sent: at most PerSecond within any second
// (a window that slides with every command, on the monotonic clock), so that
// no client of the broker can flood a node or its link, whatever it publishes.
class CommandBudget_t {
public:
    static constexpr int PerSecond = 10;

    // True, and counted, when fewer than PerSecond commands went out within
    // the second before nowMs; false when this one must be dropped.
    bool _Take(qint64 nowMs);

private:
    static constexpr qint64 WindowMs = 1000;

    // The times of the latest commands, oldest at `next`; 0 for none.
    std::array<qint64, PerSecond> sentMs{};
    int next = 0;
};
