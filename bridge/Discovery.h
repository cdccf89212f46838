// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "bridge/Device.h"
#include "mqtt/Topics.h"

#include <QByteArray>
#include <QString>

// Home Assistant's discovery messages for a device's entities: the retained
// JSON configuration with the entity's topics, the availability of both the
// node and the bridge, the device block and the bridge as the origin.
// Identifiers name the bridge, the link and the address as they are:
// unique_id ternix36/ID/LINK/ADDRESS/OBJECT, device ternix36/ID/LINK/ADDRESS.
class Discovery_t {
public:
    explicit Discovery_t(const Topics_t &topics);

    QString _Topic(const Device_t &device, const Device_t::Entity_t &entity) const;
    QByteArray _Config(const Device_t &device, const Device_t::Entity_t &entity) const;

private:
    const Topics_t &topics;
};
