// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/IdClaim.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>

IdClaim_t::IdClaim_t(const QString &host, qint64 pid, qint64 sinceMs) {
    own.instance = QString::number(QRandomGenerator::system()->generate64(), 16);
    own.host = host;
    own.pid = pid;
    own.sinceMs = sinceMs;
}

QByteArray IdClaim_t::_Payload(bool serving) const {
    return QJsonDocument(QJsonObject{{"instance", own.instance},
                                     {"host", own.host},
                                     {"pid", own.pid},
                                     {"since", own.sinceMs},
                                     {"serving", serving}})
        .toJson(QJsonDocument::Compact);
}

bool IdClaim_t::_Parse(const QByteArray &payload, Claim_t *claim) {
    const QJsonObject object = QJsonDocument::fromJson(payload).object();
    const QJsonValue instance = object.value(QLatin1String("instance"));
    if (!instance.isString() || instance.toString().isEmpty())
        return false;
    claim->instance = instance.toString();
    claim->host = object.value(QLatin1String("host")).toString();
    claim->pid = qint64(object.value(QLatin1String("pid")).toDouble());
    claim->sinceMs = qint64(object.value(QLatin1String("since")).toDouble());
    claim->serving = object.value(QLatin1String("serving")).toBool();
    return true;
}

bool IdClaim_t::_YieldsTo(const Claim_t &other, bool serving) const {
    if (other.instance == own.instance)
        return false;
    if (other.serving != serving)
        return other.serving;
    // Both serve (they were both cut off from the broker when the second
    // started), or both start: the older stays, and either decides alike.
    if (other.sinceMs != own.sinceMs)
        return other.sinceMs < own.sinceMs;
    return other.instance < own.instance;
}

QString IdClaim_t::_Describe(const Claim_t &claim) {
    return QStringLiteral("ternix36-bridge on host %1 (process %2, since %3)")
        .arg(claim.host.isEmpty() ? QStringLiteral("?") : claim.host)
        .arg(claim.pid)
        .arg(QDateTime::fromMSecsSinceEpoch(claim.sinceMs).toString(Qt::ISODate));
}
