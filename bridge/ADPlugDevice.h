// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "bridge/Device.h"
#include "protocol/ADPlugWire.h"

// The plug switched by naming its target state: a switch and two power sensors.
class ADPlugDevice_t : public Device_t {
public:
    ADPlugDevice_t(const QString &link, const QString &address, const Sender_t &send,
                   QObject *parent = nullptr);

    void _Read(const ReportReader_t &report) override;
    QJsonObject _State() const override;
    QList<Entity_t> _Entities() const override;
    Command_t _Command(const QString &object, const QByteArray &payload) override;

private:
    ADPlugWire_t::Reading_t reading{};
};
