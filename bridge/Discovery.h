// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "bridge/Device.h"

#include <QByteArray>
#include <QString>

// Home Assistant's discovery messages for a device's entities: the topic
// PREFIX/COMPONENT/NODE/OBJECT/config and the retained JSON configuration
// with the entity's topics, the availability of both the node and the bridge,
// and a device block whose identifiers hold the node's address.
class Discovery_t {
public:
    Discovery_t(const QString &prefix, const QString &bridgeAvailabilityTopic);

    // Home Assistant takes only letters, digits, _ and - as a node id: the
    // address with every other character as _ (fe80::101 -> fe80__101).
    static QString _NodeId(const QString &deviceId);

    QString _Topic(const Device_t &device, const Device_t::Entity_t &entity) const;
    QByteArray _Config(const Device_t &device, const Device_t::Entity_t &entity,
                       const QString &nodeTopic) const;

private:
    QString prefix;
    QString bridgeAvailabilityTopic;
};
