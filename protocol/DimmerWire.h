// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/NodeKinds.h"

#include <QByteArray>
#include <QtGlobal>

class ReportReader_t;

// The dimmer. Report: the level in percent in bits 0..6 of byte 4, then the
// name trailer. Level command: C0 30 01, 01, then the level with bit 7 set.
class DimmerWire_t {
public:
    static constexpr quint16 Port = Ternix36::CommandPort(Ternix36::KindDimmer);
    static constexpr int MaximumLevel = 100;
    // Consecutive level commands are at least this far apart while a level
    // keeps changing; the last one is always sent.
    static constexpr int LevelIntervalMs = 200;

    // 0..127 as reported; a report cut before byte 4 reads level 0.
    static int _Level(const ReportReader_t &report);
    static QByteArray _LevelCommand(int level);
};
