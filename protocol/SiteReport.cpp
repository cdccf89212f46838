// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/SiteReport.h"

#include "protocol/Protocol.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {
// JSON numbers are doubles: whole numbers are exact up to 2^53.
constexpr double LargestExactMs = 9007199254740992.0;

bool _IsHex(const QByteArray &text) {
    for (const char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
            return false;
    return true;
}
} // namespace

QByteArray SiteReport_t::_Payload() const {
    return QByteArrayLiteral("{\"heard\":") + QByteArray::number(heardMs) +
           QByteArrayLiteral(",\"datagram\":\"") + datagram.toHex() + QByteArrayLiteral("\"}");
}

bool SiteReport_t::_Read(const QByteArray &payload, SiteReport_t *report) {
    if (payload.size() > MaxPayloadSize)
        return false;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(payload, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return false;
    const QJsonObject object = document.object();
    const QJsonValue heard = object.value(QLatin1String("heard"));
    const QJsonValue datagram = object.value(QLatin1String("datagram"));
    if (!heard.isDouble() || !datagram.isString())
        return false;
    const double ms = heard.toDouble();
    if (!(ms >= 0 && ms <= LargestExactMs) || std::floor(ms) != ms)
        return false;
    const QByteArray bytes = _DatagramFromHex(datagram.toString().toLatin1());
    if (bytes.size() < Ternix36::HeaderSize)
        return false;
    report->heardMs = qint64(ms);
    report->datagram = bytes;
    return true;
}

QByteArray _DatagramFromHex(const QByteArray &text) {
    if (text.size() % 2 != 0 || text.size() > 2 * Ternix36::MaxDatagramSize || !_IsHex(text))
        return QByteArray();
    return QByteArray::fromHex(text);
}
