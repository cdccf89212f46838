// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/NodeKinds.h"

namespace Ternix36 {

QString _Title(NodeKind kind) {
    return QStringLiteral("TERNIX36 ") + QLatin1String(_FindKind(kind)->titleWord);
}

} // namespace Ternix36
