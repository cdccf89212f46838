// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/Device.h"

Device_t::Device_t(const QString &id, const QString &model, const Sender_t &send, QObject *parent)
    : QObject(parent)
    , id(id)
    , model(model)
    , send(send) {
}

QJsonObject Device_t::_Sensor(const QString &name, const QString &deviceClass, const QString &unit,
                              const QString &field) {
    return {{"name", name},
            {"device_class", deviceClass},
            {"unit_of_measurement", unit},
            {"state_class", "measurement"},
            {"value_template", QStringLiteral("{{ value_json.%1 }}").arg(field)}};
}
