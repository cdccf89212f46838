// SPDX-License-Identifier: GPL-3.0-or-later
#include "mqtt/Topics.h"

namespace {
QString _Escaped(const QString &text) {
    QString escaped;
    for (const char byte : text.toUtf8()) {
        const auto c = uchar(byte);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-')
            escaped += QLatin1Char(char(c));
        else
            escaped += QStringLiteral("_%1").arg(uint(c), 2, 16, QLatin1Char('0'));
    }
    return escaped;
}
} // namespace

Topics_t::Topics_t(const QString &baseTopic, const QString &bridgeId,
                   const QString &discoveryPrefix)
    : base(baseTopic + u'/' + bridgeId)
    , bridgeId(bridgeId)
    , prefix(discoveryPrefix) {
}

QString Topics_t::_BridgeAvailability() const {
    return base + QStringLiteral("/availability");
}

QString Topics_t::_Node(const QString &link, const QString &address) const {
    return base + u'/' + link + u'/' + address;
}

QString Topics_t::_Config(const QString &component, const QString &nodeId,
                          const QString &object) const {
    return QStringLiteral("%1/%2/%3/%4/config").arg(prefix, component, nodeId, object);
}

QString Topics_t::_HomeAssistantStatus() const {
    return prefix + QStringLiteral("/status");
}

QString Topics_t::_Claim() const {
    return base + QStringLiteral("/claim");
}

QString Topics_t::_Index(const QString &link) const {
    return base + u'/' + link + QStringLiteral("/nodes");
}

QString Topics_t::_Report(const QString &link, const QString &address) const {
    return _Node(link, address) + QStringLiteral("/report");
}

QString Topics_t::_DatagramSet(const QString &link, const QString &address) const {
    return _Node(link, address) + u'/' + _DatagramObject() + QStringLiteral("/set");
}

QString Topics_t::_Probe() const {
    return base + QStringLiteral("/probe");
}

QString Topics_t::_CommandPattern() const {
    return base + QStringLiteral("/+/+/+/set");
}

QString Topics_t::_RemovePattern() const {
    return base + QStringLiteral("/+/+/remove");
}

QString Topics_t::_NodeAvailabilityPattern() const {
    return base + QStringLiteral("/+/+/availability");
}

QString Topics_t::_IndexPattern() const {
    return base + QStringLiteral("/+/nodes");
}

bool Topics_t::_ParseIndex(const QString &topic, QString *link) const {
    if (!topic.startsWith(base + u'/') || !topic.endsWith(QStringLiteral("/nodes")))
        return false;
    const QStringList levels = topic.mid(base.size() + 1).split(u'/');
    if (levels.size() != 2)
        return false;
    *link = levels[0];
    return true;
}

bool Topics_t::_Parse(const QString &topic, NodeTopic_t *parsed) const {
    if (!topic.startsWith(base + u'/'))
        return false;
    QStringList levels = topic.mid(base.size() + 1).split(u'/');
    if (levels.size() < 3)
        return false;
    const QHostAddress address(levels[1]);
    if (address.protocol() != QAbstractSocket::IPv6Protocol || !address.scopeId().isEmpty())
        return false;
    parsed->link = levels[0];
    parsed->address = address;
    parsed->addressText = levels[1];
    parsed->levels = levels.mid(2);
    return true;
}

QString Topics_t::_DiscoveryNodeId(const QString &link, const QString &address) const {
    return _Escaped(bridgeId) + QStringLiteral("__") + _Escaped(link) + QStringLiteral("__") +
           _Escaped(address);
}
