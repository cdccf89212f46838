// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/NodeKinds.h"

#include <QByteArray>
#include <QtGlobal>

class ReportReader_t;

// The brightness and temperature sensor. Report: temperature in tenths of a
// degree at bytes 4..7 and brightness at 8..11, both signed 32-bit at fixed
// places whatever N says; N only locates the name trailer. Both kinds (0x0111,
// 0x0112) are commanded as 0x0111.
//
// Configuration command: 80 11 01, then measure interval (u16), poll interval
// (u16), delta temperature in tenths (s32) and delta brightness (s32).
class BrightWire_t {
public:
    struct Reading_t {
        qint32 temperatureTenths;
        qint32 brightness;
    };

    static constexpr quint16 Port = Ternix36::CommandPort(Ternix36::KindBright);

    static Reading_t _Read(const ReportReader_t &report);
    // Asks for a report.
    static QByteArray _PollCommand();
    // The intervals keep their low 16 bits (-1 goes out as FF FF); the delta
    // temperature is given in degrees and sent in tenths, wrapping at 32 bits.
    static QByteArray _ConfigureCommand(qint32 measureInterval, qint32 pollInterval,
                                        qint32 deltaTemperature, qint32 deltaBrightness);
};
