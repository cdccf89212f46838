// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/Discovery.h"

#include <QJsonArray>
#include <QJsonDocument>

Discovery_t::Discovery_t(const QString &prefix, const QString &bridgeAvailabilityTopic)
    : prefix(prefix)
    , bridgeAvailabilityTopic(bridgeAvailabilityTopic) {
}

QString Discovery_t::_NodeId(const QString &deviceId) {
    QString id = deviceId;
    for (QChar &c : id)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != u'_' && c != u'-')
            c = u'_';
    return id;
}

QString Discovery_t::_Topic(const Device_t &device, const Device_t::Entity_t &entity) const {
    return QStringLiteral("%1/%2/%3/%4/config")
        .arg(prefix, entity.component, _NodeId(device._Id()), entity.object);
}

QByteArray Discovery_t::_Config(const Device_t &device, const Device_t::Entity_t &entity,
                                const QString &nodeTopic) const {
    QJsonObject config = entity.config;
    config.insert("unique_id",
                  QStringLiteral("ternix36_%1_%2").arg(_NodeId(device._Id()), entity.object));
    if (entity.readsState)
        config.insert("state_topic", nodeTopic + QStringLiteral("/state"));
    if (entity.takesCommands)
        config.insert("command_topic", QStringLiteral("%1/%2/set").arg(nodeTopic, entity.object));
    config.insert("availability",
                  QJsonArray{QJsonObject{{"topic", bridgeAvailabilityTopic}},
                             QJsonObject{{"topic", nodeTopic + QStringLiteral("/availability")}}});
    config.insert("availability_mode", "all");

    const QString name = device._Name().isEmpty()
                             ? QStringLiteral("%1 %2").arg(device._Model(), device._Id())
                             : device._Name();
    config.insert("device", QJsonObject{{"identifiers", QJsonArray{device._Id()}},
                                        {"name", name},
                                        {"manufacturer", "TERNIX36"},
                                        {"model", device._Model()}});
    return QJsonDocument(config).toJson(QJsonDocument::Compact);
}
