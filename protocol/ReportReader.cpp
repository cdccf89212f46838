// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/ReportReader.h"

#include "protocol/Protocol.h"

namespace {
constexpr qint64 DataBlockSizeOffset = 3;
constexpr qint64 DataBlockOffset = 4;
} // namespace

bool ReportReader_t::_IsReport() const {
    return datagram.size() >= Ternix36::HeaderSize;
}

bool ReportReader_t::_Has(qint64 offset, qint64 width) const {
    // Compared without adding offset and width, which could overflow.
    return offset >= 0 && width >= 0 && offset <= datagram.size() &&
           width <= datagram.size() - offset;
}

quint8 ReportReader_t::_U8(qint64 offset) const {
    return _Has(offset, 1) ? quint8(datagram.at(offset)) : 0;
}

qint8 ReportReader_t::_S8(qint64 offset) const {
    return qint8(_U8(offset));
}

quint16 ReportReader_t::_U16(qint64 offset) const {
    if (!_Has(offset, 2))
        return 0;
    return quint16(quint8(datagram.at(offset)) | quint8(datagram.at(offset + 1)) << 8);
}

qint32 ReportReader_t::_S32(qint64 offset) const {
    if (!_Has(offset, 4))
        return 0;
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | quint8(datagram.at(offset + i));
    return qint32(value);
}

qint8 ReportReader_t::_DataBlockSize() const {
    return _S8(DataBlockSizeOffset);
}

QString ReportReader_t::_NodeName() const {
    const qint64 n = _DataBlockSize();
    const qint64 lengthOffset = DataBlockOffset + n;
    if (n < 0 || !_Has(lengthOffset, 1))
        return QString();
    const qint64 length = _S8(lengthOffset);
    QByteArray name = datagram.mid(lengthOffset + 1, length < 0 ? -1 : length);
    const qsizetype zero = name.indexOf('\0');
    if (zero >= 0)
        name.truncate(zero);
    return QString::fromLatin1(name);
}
