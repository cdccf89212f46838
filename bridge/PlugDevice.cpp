// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/PlugDevice.h"

#include "bridge/SwitchPayload.h"
#include "protocol/ReportReader.h"

PlugDevice_t::PlugDevice_t(const QString &link, const QString &address, const Sender_t &send,
                           QObject *parent)
    : Device_t(Ternix36::KindPlug, link, address, send, parent) {
}

void PlugDevice_t::_Read(const ReportReader_t &report) {
    reading = PlugWire_t::_Read(report);
    name = report._NodeName();
}

QJsonObject PlugDevice_t::_State() const {
    return {{"name", name},
            {"state", SwitchPayload::_Text(reading.hasReadings)},
            {"real_power", _Watts(reading.realPower)},
            {"apparent_power", _Watts(reading.apparentPower)}};
}

QList<Device_t::Entity_t> PlugDevice_t::_Entities() const {
    return {SwitchPayload::_Entity(),
            {"sensor", "real_power", _Sensor("Real power", "power", "W", "real_power")},
            {"sensor", "apparent_power",
             _Sensor("Apparent power", "apparent_power", "VA", "apparent_power")}};
}

Device_t::Command_t PlugDevice_t::_Command(const QString &object, const QByteArray &payload) {
    bool on = false;
    if (object != SwitchPayload::Object || !SwitchPayload::_Parse(payload, &on))
        return Command_t::Malformed;
    if (on == reading.hasReadings)
        return Command_t::NothingToDo;
    _Send(PlugWire_t::_SwitchCommand(), PlugWire_t::Port);
    return Command_t::Sent;
}
