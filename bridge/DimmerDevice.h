// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "bridge/Device.h"
#include "protocol/LevelLimiter.h"

// The dimmer: a light in Home Assistant's default (basic) MQTT schema, whose
// keys every Home Assistant in use reads alike: ON and OFF on the light's
// command topic, the level 0..100 on its brightness topic, and both read
// from the state. Levels go out rate-limited as the panel's slider sends
// them; nothing is sent before the hub asks for a level.
class DimmerDevice_t : public Device_t {
public:
    DimmerDevice_t(const QString &link, const QString &address, const Sender_t &send,
                   QObject *parent = nullptr);

    void _Read(const ReportReader_t &report) override;
    QJsonObject _State() const override;
    QList<Entity_t> _Entities() const override;
    Command_t _Command(const QString &object, const QByteArray &payload) override;

private:
    // "ON", "OFF", or, as from earlier bridges, {"state": "ON", "brightness": 40}.
    Command_t _LightCommand(const QByteArray &payload);
    Command_t _Want(int level);

    // As reported: up to 127, which seven bits carry.
    int level = 0;
    // What "ON" without a brightness turns the light on to.
    int lastOnLevel;
    LevelLimiter_t limiter;
};
