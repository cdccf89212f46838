// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

// Something that may happen at most once per interval: a log line that would
// otherwise repeat with every datagram, a probe asked for by the broker.
// Times are on the monotonic clock, which never reads 0.
class Pace_t {
public:
    explicit Pace_t(qint64 intervalMs)
        : intervalMs(intervalMs) {}

    // True, and counted as done, when the interval has passed since the last time.
    bool _Take(qint64 nowMs) {
        if (lastMs != 0 && nowMs - lastMs < intervalMs)
            return false;
        lastMs = nowMs;
        return true;
    }

private:
    qint64 intervalMs;
    qint64 lastMs = 0; // never
};
