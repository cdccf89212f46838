// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "bridge/Device.h"
#include "protocol/PlugWire.h"

// The toggling plug: a switch and two power sensors. The plug only toggles,
// so a command is sent only when it asks for the state the plug is not in.
class PlugDevice_t : public Device_t {
public:
    PlugDevice_t(const QString &link, const QString &address, const Sender_t &send,
                 QObject *parent = nullptr);

    void _Read(const ReportReader_t &report) override;
    QJsonObject _State() const override;
    QList<Entity_t> _Entities() const override;
    Command_t _Command(const QString &object, const QByteArray &payload) override;

private:
    PlugWire_t::Reading_t reading{};
};
