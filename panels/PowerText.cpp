// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/PowerText.h"

QString _PowerText(qint32 hundredthsOfWatt) {
    float watts = float(hundredthsOfWatt);
    watts /= 100;
    return QString::number(watts, 'g', 6) + QStringLiteral(" W");
}
