// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/NodeKinds.h"

#include <QByteArray>
#include <QtGlobal>

class ReportReader_t;

// The plug that is switched by naming its target state. Report: N at byte 3
// (non-zero while readings are present), the state at byte 4 whatever N is,
// then real and apparent power as signed 32-bit hundredths of a watt, then the
// name trailer. With N = 0 byte 4 is both the state and the name length.
// Switch command: the header and the target state, 01 on, 00 off.
class ADPlugWire_t {
public:
    struct Reading_t {
        // Byte 4 not zero; a report cut before it reads as off.
        bool on;
        // Hundredths of a watt; 0 while the plug reports no readings.
        qint32 realPower;
        qint32 apparentPower;
    };

    static constexpr quint16 Port = Ternix36::CommandPort(Ternix36::KindADPlug);

    static Reading_t _Read(const ReportReader_t &report);
    static QByteArray _SwitchCommand(bool on);
};
