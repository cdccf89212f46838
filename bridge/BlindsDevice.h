// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "bridge/Device.h"

// The blinds drive: a cover whose OPEN, CLOSE and STOP drive it up, down and
// stop it; its state is opening, closing or stopped.
class BlindsDevice_t : public Device_t {
public:
    BlindsDevice_t(const QString &link, const QString &address, const Sender_t &send,
                   QObject *parent = nullptr);

    void _Read(const ReportReader_t &report) override;
    QJsonObject _State() const override;
    QList<Entity_t> _Entities() const override;
    Command_t _Command(const QString &object, const QByteArray &payload) override;

private:
    QString state = QStringLiteral("stopped");
};
