// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

// The program's two clocks; a test puts clocks of its own in their places.
//
// The wall clock in milliseconds since the epoch, for the times shown or
// published. NTP or a user may step it, so no interval is measured on it.
extern qint64 (*pClockMs)();
// The monotonic clock in milliseconds, for every interval and age. It never
// reads 0, which stays free to mean "never".
extern qint64 (*pMonotonicMs)();

// A moment as both clocks read it: the wall clock for what is shown or
// published as a time, the monotonic clock for every interval.
struct Moment_t {
    qint64 wallMs = 0;      // since the epoch
    qint64 monotonicMs = 0; // on the monotonic clock
};
// Reads both clocks once.
Moment_t _Now();
