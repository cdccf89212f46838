// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/NodeKinds.h"

#include <QByteArray>
#include <QtGlobal>

class ReportReader_t;

// The blinds drive. Report: the state in byte 3 and nothing after it, so no
// name trailer. Drive command: C0 21 01 and the direction, or 00 to stop.
class BlindsWire_t {
public:
    // The codes of byte 3 in the drive command and in the report; 2 is unused.
    static constexpr qint8 Off = 0;
    static constexpr qint8 Down = 1;
    static constexpr qint8 Up = 3;

    static constexpr quint16 Port = Ternix36::CommandPort(Ternix36::KindBlinds);

    // Byte 3, signed; a report of just the header reads Off.
    static qint8 _State(const ReportReader_t &report);
    static QByteArray _DriveCommand(qint8 direction);
};
