// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/Device.h"

#include "mqtt/Log.h"
#include "protocol/Clock.h"
#include "protocol/NodeKinds.h"
#include "protocol/PanelCommands.h"

namespace {
constexpr qint64 DropsSaidEveryMs = 1000;
} // namespace

Device_t::Device_t(Ternix36::NodeKind kind, const QString &link, const QString &address,
                   const Sender_t &send, QObject *parent)
    : QObject(parent)
    , kind(kind)
    , link(link)
    , address(address)
    , model(Ternix36::_Title(kind))
    , send(send)
    , dropsSaid(DropsSaidEveryMs) {
}

Device_t::Command_t Device_t::_Datagram(const QByteArray &datagram) {
    if (!_IsPanelCommand(kind, datagram))
        return Command_t::Malformed;
    _Send(datagram, Ternix36::CommandPort(kind));
    return Command_t::Sent;
}

void Device_t::_Send(const QByteArray &command, quint16 port) {
    const qint64 nowMs = _Now().monotonicMs;
    if (budget._Take(nowMs)) {
        send(command, port);
        return;
    }
    if (dropsSaid._Take(nowMs))
        Log::_Write(Log::Warning,
                    QStringLiteral("%1: more than %2 commands within a second; the rest are "
                                   "dropped (said at most once a second)")
                        .arg(_Id())
                        .arg(CommandBudget_t::PerSecond));
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
