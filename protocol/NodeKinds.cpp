// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/NodeKinds.h"

namespace Ternix36 {

QString _Title(const char *titleWord) {
    return QStringLiteral("TERNIX36 ") + QLatin1String(titleWord);
}

} // namespace Ternix36
