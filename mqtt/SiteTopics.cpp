// SPDX-License-Identifier: GPL-3.0-or-later
#include "mqtt/SiteTopics.h"

#include "mqtt/Topics.h"

SiteTopics_t::SiteTopics_t(const QString &baseTopic)
    : base(baseTopic) {
}

QStringList SiteTopics_t::_Patterns() const {
    return {base + QStringLiteral("/+/+/+/report"), base + QStringLiteral("/+/+/+/availability"),
            base + QStringLiteral("/+/availability")};
}

SiteTopics_t::Message_t SiteTopics_t::_Parse(const QString &topic) const {
    Message_t message;
    if (!topic.startsWith(base + u'/'))
        return message;
    const QStringList levels = topic.mid(base.size() + 1).split(u'/');
    if (levels.size() == 2 && levels[1] == u"availability") {
        message.kind = Message_t::BridgeAvailability;
        message.bridge = levels[0];
        return message;
    }
    if (levels.size() != 4)
        return message;
    const QHostAddress address(levels[2]);
    if (address.protocol() != QAbstractSocket::IPv6Protocol || !address.scopeId().isEmpty())
        return message;
    if (levels[3] == u"report")
        message.kind = Message_t::Report;
    else if (levels[3] == u"availability")
        message.kind = Message_t::NodeAvailability;
    else
        return message;
    message.bridge = levels[0];
    message.link = levels[1];
    message.address = address;
    message.addressText = levels[2];
    return message;
}

QString SiteTopics_t::_DatagramSet(const QString &bridge, const QString &link,
                                   const QString &addressText) const {
    return Topics_t(base, bridge, QString())._DatagramSet(link, addressText);
}

QString SiteTopics_t::_Probe(const QString &bridge) const {
    return Topics_t(base, bridge, QString())._Probe();
}
