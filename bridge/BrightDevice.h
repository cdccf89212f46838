// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "bridge/Device.h"
#include "protocol/BrightWire.h"

// The brightness and temperature sensor, of either kind code: two sensors and
// a button that polls it.
class BrightDevice_t : public Device_t {
public:
    BrightDevice_t(Ternix36::NodeKind kind, const QString &link, const QString &address,
                   const Sender_t &send, QObject *parent = nullptr);

    void _Read(const ReportReader_t &report) override;
    QJsonObject _State() const override;
    QList<Entity_t> _Entities() const override;
    Command_t _Command(const QString &object, const QByteArray &payload) override;

private:
    static QJsonObject _Brightness();

    BrightWire_t::Reading_t reading{};
};
