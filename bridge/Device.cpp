// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/Device.h"

Device_t::Device_t(const QString &link, const QString &address, const QString &model,
                   const Sender_t &send, QObject *parent)
    : QObject(parent)
    , link(link)
    , address(address)
    , model(model)
    , send(send) {
}

QJsonObject Device_t::_Sensor(const QString &name, const QString &deviceClass, const QString &unit,
                              const QString &field) {
    QJsonObject sensor{{"name", name},
                       {"state_class", "measurement"},
                       {"value_template", QStringLiteral("{{ value_json.%1 }}").arg(field)}};
    if (!deviceClass.isEmpty())
        sensor.insert("device_class", deviceClass);
    if (!unit.isEmpty())
        sensor.insert("unit_of_measurement", unit);
    return sensor;
}
