// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/RepaintTuning.h"

#include <QByteArray>
#include <QtGlobal>

void _SkipSearchForOpaqueSiblings() {
    constexpr char Switch[] = "QT_NO_SUBTRACTOPAQUESIBLINGS";
    if (!qEnvironmentVariableIsSet(Switch))
        qputenv(Switch, QByteArrayLiteral("1"));
}
