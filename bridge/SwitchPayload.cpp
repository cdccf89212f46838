// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/SwitchPayload.h"

namespace SwitchPayload {

QString _Text(bool on) {
    return on ? QStringLiteral("ON") : QStringLiteral("OFF");
}

bool _Parse(const QByteArray &payload, bool *on) {
    *on = payload == "ON";
    return *on || payload == "OFF";
}

Device_t::Entity_t _Entity() {
    return {"switch",
            Object,
            {{"name", QJsonValue::Null},
             {"value_template", "{{ value_json.state }}"},
             {"payload_on", "ON"},
             {"payload_off", "OFF"}},
            true,
            true};
}

} // namespace SwitchPayload
