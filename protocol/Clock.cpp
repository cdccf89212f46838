// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/Clock.h"

#include <QDateTime>
#include <QElapsedTimer>

namespace {

qint64 _MonotonicMs() {
    QElapsedTimer clock;
    clock.start();
    // Plus one: the clock counts from boot, and 0 means "never".
    return clock.msecsSinceReference() + 1;
}

} // namespace

qint64 (*pClockMs)() = &QDateTime::currentMSecsSinceEpoch;
qint64 (*pMonotonicMs)() = &_MonotonicMs;

Moment_t _Now() {
    return {pClockMs(), pMonotonicMs()};
}
