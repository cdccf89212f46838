// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Reads the fields of one node report without ever reading outside it.
//
// Offsets are absolute from the start of the datagram, integers little-endian.
// A field that does not lie wholly inside the datagram reads as 0, as the zero
// that QByteArray keeps after its data reads for the first missing byte; a
// panel therefore shows a missing reading as 0 rather than a half-read one.
class ReportReader_t {
public:
    explicit ReportReader_t(const QByteArray &datagram)
        : datagram(datagram) {}

    // A datagram shorter than the header carries no report at all.
    bool _IsReport() const;
    bool _Has(qint64 offset, qint64 width) const;

    quint8 _U8(qint64 offset) const;
    qint8 _S8(qint64 offset) const;
    quint16 _U16(qint64 offset) const;
    qint32 _S32(qint64 offset) const;

    // N: the size of the kind's data block, which locates the name trailer.
    qint8 _DataBlockSize() const;
    // The node name from the trailer at 4+N: length L there, name from 5+N.
    // L bytes at most, all the rest when L is negative, cut at the first zero
    // byte, Latin-1. Empty when N is negative (the trailer would overlap the
    // header) or when L lies outside the datagram.
    QString _NodeName() const;

private:
    const QByteArray &datagram;
};
