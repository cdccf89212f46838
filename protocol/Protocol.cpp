// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/Protocol.h"

namespace Ternix36 {

QByteArray CommandHeader(quint8 operation, NodeKind kind) {
    QByteArray header(HeaderSize, '\0');
    header[0] = char(operation);
    header[KindOffset] = char(kind & 0xFF);
    header[KindOffset + 1] = char(kind >> 8);
    return header;
}

QByteArray ProbeDatagram() {
    QByteArray probe(ProbeSize, '\0');
    for (int i = 0; i < ProbeSize; ++i)
        probe[i] = char(i);
    return probe;
}

QHostAddress ProbeAddress(const QString &interfaceName) {
    return QHostAddress(QLatin1String(ProbeAddressPrefix) + interfaceName);
}

} // namespace Ternix36
