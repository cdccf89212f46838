// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

// The wall clock in milliseconds since the epoch, as last-heard times and
// probes read it. A test puts a clock of its own in its place.
extern qint64 (*pClockMs)();
