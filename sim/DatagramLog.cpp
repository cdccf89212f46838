// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/DatagramLog.h"

#include "sim/NodeFactory.h"
#include "sim/SimNode.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
// Addresses are logged without their scope; ifindex says where.
QString _Unscoped(QHostAddress address) {
    address.setScopeId(QString());
    return address.isNull() ? QString() : address.toString();
}
} // namespace

bool DatagramLog_t::_Open(const QString &path, QString &error) {
    if (path.isEmpty())
        return true;
    file.setFileName(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        error = QStringLiteral("cannot write the log %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

void DatagramLog_t::_Write(const Entry_t &entry, const QByteArray &bytes) {
    if (!file.isOpen())
        return;
    QJsonObject line;
    line[QLatin1String("time")] = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    line[QLatin1String("event")] = QLatin1String(entry.event);
    line[QLatin1String("note")] = QLatin1String(entry.note);
    line[QLatin1String("node")] = entry.node ? QString::fromLatin1(entry.node->_Name()) : QString();
    line[QLatin1String("kind")] = entry.node ? _WordOfKind(entry.node->_Kind()) : QString();
    line[QLatin1String("src")] = _Unscoped(entry.source);
    line[QLatin1String("sport")] = entry.sourcePort;
    line[QLatin1String("dst")] = _Unscoped(entry.destination);
    line[QLatin1String("dport")] = entry.destinationPort;
    line[QLatin1String("ifindex")] = entry.interfaceIndex;
    line[QLatin1String("hex")] = QString::fromLatin1(bytes.toHex());
    file.write(QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n');
    file.flush();
}

void DatagramLog_t::_Announce(const SimNode_t &node, int interfaceIndex) {
    _Write({"node", "", &node, node._Address(), node._CommandPort(), {}, 0, interfaceIndex},
           QByteArray());
}
