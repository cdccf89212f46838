// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Clock.h"

#include <QDateTime>

qint64 (*pClockMs)() = &QDateTime::currentMSecsSinceEpoch;
