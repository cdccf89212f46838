// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/BrightDevice.h"

#include "protocol/ReportReader.h"

namespace {
const QString PollObject = QStringLiteral("poll");
constexpr char PressPayload[] = "PRESS";
} // namespace

BrightDevice_t::BrightDevice_t(Ternix36::NodeKind kind, const QString &link, const QString &address,
                               const Sender_t &send, QObject *parent)
    : Device_t(kind, link, address, send, parent) {
}

void BrightDevice_t::_Read(const ReportReader_t &report) {
    reading = BrightWire_t::_Read(report);
    name = report._NodeName();
}

QJsonObject BrightDevice_t::_State() const {
    return {{"name", name},
            {"temperature", reading.temperatureTenths / 10.0},
            {"brightness", reading.brightness}};
}

QJsonObject BrightDevice_t::_Brightness() {
    QJsonObject sensor = _Sensor("Brightness", QString(), QString(), "brightness");
    sensor.insert("icon", "mdi:brightness-5");
    return sensor;
}

QList<Device_t::Entity_t> BrightDevice_t::_Entities() const {
    return {
        {"sensor", "temperature", _Sensor("Temperature", "temperature", "\u00B0C", "temperature")},
        // The node gives its brightness no unit, so it is no illuminance.
        {"sensor", "brightness", _Brightness()},
        {"button", PollObject, {{"name", "Poll"}, {"payload_press", PressPayload}}, false, true}};
}

Device_t::Command_t BrightDevice_t::_Command(const QString &object, const QByteArray &payload) {
    if (object != PollObject || payload != PressPayload)
        return Command_t::Malformed;
    _Send(BrightWire_t::_PollCommand(), BrightWire_t::Port);
    return Command_t::Sent;
}
