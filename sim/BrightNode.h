// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sim/SimNode.h"

#include <QTimer>

// A brightness and temperature sensor of kind 0x0111 or 0x0112 (port 4444).
// It answers a poll (C0 11 01) with N = 8: temperature in tenths of a degree
// and brightness, both s32. The configuration command (80 11 01, then measure
// interval u16, poll interval u16, delta temperature s32 in tenths, delta
// brightness s32) is answered with a report too. A poll interval above 0
// makes it report on its own every that many seconds. A measure interval
// above 0 makes it measure every that many seconds instead of at each
// report; a measurement that moved by at least a delta above 0 since the
// last report is reported at once. Commands with kind 0x0112 are taken too.
class BrightNode_t : public SimNode_t {
    Q_OBJECT

public:
    struct Configuration_t {
        quint16 measureInterval = 0; // seconds
        quint16 pollInterval = 0;    // seconds
        qint32 deltaTemperature = 0; // tenths of a degree
        qint32 deltaBrightness = 0;
    };

    BrightNode_t(Ternix36::NodeKind kind, const QHostAddress &address, const QByteArray &name,
                 QObject *parent = nullptr);

    bool _Command(const QByteArray &command) override;
    QByteArray _Report() override;

    Configuration_t _Configuration() const { return configuration; }
    bool _PollsByItself() const { return pollTimer.isActive(); }
    // One measurement, as the measure timer takes it.
    void _Measure();

private:
    bool _IsOwnKind(const QByteArray &command, quint8 operation) const;
    void _Configure(const QByteArray &command);
    void _NextReadings();

    Configuration_t configuration;
    qint32 temperature = 215; // tenths of a degree Celsius
    qint32 brightness = 350;
    qint32 reportedTemperature = 215;
    qint32 reportedBrightness = 350;
    QTimer pollTimer;
    QTimer measureTimer;
};
