// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

// A power reading in hundredths of a watt as the plugs show it: "123.45 W",
// "1.23457e+06 W". Computed in single precision, six significant digits.
QString _PowerText(qint32 hundredthsOfWatt);
