// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzz/FuzzInput.h"

#include <algorithm>
#include <cstring>

QByteArray FuzzInput_t::_Bytes(size_t count) {
    const size_t taken = std::min(count, size - std::min(position, size));
    const QByteArray bytes(reinterpret_cast<const char *>(data + position), qsizetype(taken));
    position += taken;
    return bytes;
}

ExactDatagram_t::ExactDatagram_t(const QByteArray &bytes)
    : block(new char[size_t(bytes.size())]) {
    if (!bytes.isEmpty())
        std::memcpy(block.get(), bytes.constData(), size_t(bytes.size()));
    datagram = QByteArray::fromRawData(block.get(), bytes.size());
}
