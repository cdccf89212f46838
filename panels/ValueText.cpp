// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/ValueText.h"

QString _TemperatureText(qint32 tenthsOfDegree) {
    return QString::number(tenthsOfDegree / 10) + QStringLiteral(" \u00B0C");
}

QString _LevelText(int level) {
    return QString::number(level) + QStringLiteral(" %");
}
