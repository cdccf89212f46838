// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzz/ReaderHarness.h"

#include "fuzz/FuzzInput.h"
#include "protocol/Protocol.h"
#include "protocol/ReportReader.h"
#include "protocol/SiteReport.h"

#include <QList>

#include <limits>

namespace {

constexpr qint64 Min = std::numeric_limits<qint64>::min();
constexpr qint64 Max = std::numeric_limits<qint64>::max();

// The bytes as the protocol describes them, read without ReportReader_t.
class PlainReading_t {
public:
    PlainReading_t(const uint8_t *data, size_t size)
        : data(data)
        , size(qint64(size)) {}

    bool _Inside(qint64 offset, qint64 width) const {
        return offset >= 0 && width >= 0 && offset <= size && width <= size - offset;
    }
    uint32_t _LittleEndian(qint64 offset, int width) const {
        if (!_Inside(offset, width))
            return 0;
        uint32_t value = 0;
        for (int i = width - 1; i >= 0; --i)
            value = value << 8 | data[offset + i];
        return value;
    }
    // Byte 3 is N, the trailer starts at 4+N: length L, then L name bytes (the
    // rest when L is negative), cut at a zero byte.
    QString _Name() const {
        const qint64 n = int8_t(_LittleEndian(3, 1));
        if (n < 0 || !_Inside(4 + n, 1))
            return QString();
        const qint64 length = int8_t(data[4 + n]);
        QByteArray name;
        for (qint64 i = 5 + n; i < size && (length < 0 || i < 5 + n + length); ++i) {
            if (data[i] == 0)
                break;
            name.append(char(data[i]));
        }
        return QString::fromLatin1(name);
    }

private:
    const uint8_t *data;
    qint64 size;
};

QList<qint64> _Offsets(qint64 size) {
    QList<qint64> offsets{Min, Min + 1, -Max, Max - 4, Max - 3, Max - 1, Max};
    for (qint64 offset = -8; offset <= size + 8; ++offset)
        offsets.append(offset);
    return offsets;
}

} // namespace

namespace {
QString _CheckSiteReport(const QByteArray &payload) {
    SiteReport_t report;
    if (!SiteReport_t::_Read(payload, &report))
        return QString();
    if (payload.size() > SiteReport_t::MaxPayloadSize)
        return QStringLiteral("site report: a payload of %1 bytes taken").arg(payload.size());
    if (report.datagram.size() < Ternix36::HeaderSize ||
        report.datagram.size() > Ternix36::MaxDatagramSize || report.heardMs < 0)
        return QStringLiteral("site report: a datagram of %1 bytes heard at %2 taken")
            .arg(report.datagram.size())
            .arg(report.heardMs);
    SiteReport_t again;
    if (!SiteReport_t::_Read(report._Payload(), &again) || again.heardMs != report.heardMs ||
        again.datagram != report.datagram)
        return QStringLiteral("site report: not read back as written");
    return QString();
}
} // namespace

QString _CheckReportReader(const uint8_t *data, size_t size) {
    const QString siteProblem =
        _CheckSiteReport(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (!siteProblem.isEmpty())
        return siteProblem;
    const ExactDatagram_t exact(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    const ReportReader_t report(exact._Datagram());
    const PlainReading_t plain(data, size);
    const auto wrong = [](const char *what, qint64 offset) {
        return QStringLiteral("%1 at offset %2").arg(QLatin1String(what)).arg(offset);
    };

    if (report._IsReport() != (size >= 3))
        return QStringLiteral("_IsReport for %1 bytes").arg(size);
    for (qint64 offset : _Offsets(qint64(size))) {
        if (report._U8(offset) != plain._LittleEndian(offset, 1))
            return wrong("_U8", offset);
        if (report._S8(offset) != int8_t(plain._LittleEndian(offset, 1)))
            return wrong("_S8", offset);
        if (report._U16(offset) != plain._LittleEndian(offset, 2))
            return wrong("_U16", offset);
        if (report._S32(offset) != int32_t(plain._LittleEndian(offset, 4)))
            return wrong("_S32", offset);
        for (qint64 width : {Min, qint64(-1), qint64(0), qint64(1), qint64(4), Max - 1, Max})
            if (report._Has(offset, width) != plain._Inside(offset, width))
                return wrong("_Has", offset) + QStringLiteral(" width %1").arg(width);
    }
    if (report._DataBlockSize() != int8_t(plain._LittleEndian(3, 1)))
        return QStringLiteral("_DataBlockSize");
    if (report._NodeName() != plain._Name())
        return QStringLiteral("_NodeName gave \"%1\" for \"%2\"")
            .arg(report._NodeName(), plain._Name());
    return QString();
}
