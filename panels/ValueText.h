// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

// The sensor's temperature as its panel shows it: whole degrees, truncated
// toward zero, so -9 tenths show as "0 °C".
QString _TemperatureText(qint32 tenthsOfDegree);
// The dimmer's reported level: "50 %".
QString _LevelText(int level);
