// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/NodeKinds.h"

#include <QByteArray>
#include <QtGlobal>

class ReportReader_t;

// The toggling plug on the wire. Report: N at byte 3 (non-zero while readings
// are present), then real and apparent power as signed 32-bit hundredths of a
// watt, then the name trailer. The switch command is the bare header.
class PlugWire_t {
public:
    struct Reading_t {
        bool hasReadings;
        // Hundredths of a watt; 0 while the plug reports no readings.
        qint32 realPower;
        // The apparent power means nothing while the plug draws no real power: 0 then.
        qint32 apparentPower;
    };

    static constexpr quint16 Port = Ternix36::CommandPort(Ternix36::KindPlug);

    static Reading_t _Read(const ReportReader_t &report);
    // The plug toggles on each of these.
    static QByteArray _SwitchCommand();
};
