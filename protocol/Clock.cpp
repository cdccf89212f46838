// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/Clock.h"

#include <QDateTime>

qint64 (*pClockMs)() = &QDateTime::currentMSecsSinceEpoch;
