// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/Discovery.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {
const QString Version = QStringLiteral(TERNIX36_VERSION);
} // namespace

Discovery_t::Discovery_t(const Topics_t &topics)
    : topics(topics) {
}

QString Discovery_t::_Topic(const Device_t &device, const Device_t::Entity_t &entity) const {
    return topics._Config(entity.component,
                          topics._DiscoveryNodeId(device._Link(), device._Address()),
                          entity.object);
}

QByteArray Discovery_t::_Config(const Device_t &device, const Device_t::Entity_t &entity) const {
    const QString nodeTopic = topics._Node(device._Link(), device._Address());
    const QString identifier = QStringLiteral("ternix36/%1/%2/%3")
                                   .arg(topics._BridgeId(), device._Link(), device._Address());
    QJsonObject config = entity.config;
    config.insert("unique_id", identifier + u'/' + entity.object);
    const QString stateTopic = nodeTopic + QStringLiteral("/state");
    if (entity.readsState)
        config.insert("state_topic", stateTopic);
    for (const QString &key : entity.moreStateTopics)
        config.insert(key, stateTopic);
    if (entity.takesCommands)
        config.insert("command_topic", QStringLiteral("%1/%2/set").arg(nodeTopic, entity.object));
    for (const auto &[key, object] : entity.moreCommandTopics)
        config.insert(key, QStringLiteral("%1/%2/set").arg(nodeTopic, object));
    config.insert("availability",
                  QJsonArray{QJsonObject{{"topic", topics._BridgeAvailability()}},
                             QJsonObject{{"topic", nodeTopic + QStringLiteral("/availability")}}});
    config.insert("availability_mode", "all");

    const QString name = device._Name().isEmpty()
                             ? QStringLiteral("%1 %2").arg(device._Model(), device._Id())
                             : device._Name();
    // No sw_version: Home Assistant shows it as the node's firmware, which the
    // node does not tell. The bridge's own version is the origin's.
    config.insert("device", QJsonObject{{"identifiers", QJsonArray{identifier}},
                                        {"name", name},
                                        {"manufacturer", "TERNIX36"},
                                        {"model", device._Model()}});
    config.insert("origin", QJsonObject{{"name", "ternix36-bridge"},
                                        {"sw_version", Version},
                                        {"support_url", TERNIX36_HOMEPAGE}});
    return QJsonDocument(config).toJson(QJsonDocument::Compact);
}
