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
    if (entity.readsState)
        config.insert("state_topic", nodeTopic + QStringLiteral("/state"));
    if (entity.takesCommands)
        config.insert("command_topic", QStringLiteral("%1/%2/set").arg(nodeTopic, entity.object));
    config.insert("availability",
                  QJsonArray{QJsonObject{{"topic", topics._BridgeAvailability()}},
                             QJsonObject{{"topic", nodeTopic + QStringLiteral("/availability")}}});
    config.insert("availability_mode", "all");

    const QString name = device._Name().isEmpty()
                             ? QStringLiteral("%1 %2").arg(device._Model(), device._Id())
                             : device._Name();
    config.insert("device", QJsonObject{{"identifiers", QJsonArray{identifier}},
                                        {"name", name},
                                        {"manufacturer", "TERNIX36"},
                                        {"model", device._Model()},
                                        {"sw_version", Version}});
    config.insert("origin", QJsonObject{{"name", "ternix36-bridge"},
                                        {"sw_version", Version},
                                        {"support_url", TERNIX36_HOMEPAGE}});
    return QJsonDocument(config).toJson(QJsonDocument::Compact);
}
