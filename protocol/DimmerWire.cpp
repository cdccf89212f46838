// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/DimmerWire.h"

#include "protocol/ReportReader.h"

namespace {
constexpr qint64 LevelOffset = 4;
constexpr quint8 LevelMask = 0x7F;
constexpr char LevelCount = 0x01;
constexpr int LevelFlag = 0x80;
} // namespace

int DimmerWire_t::_Level(const ReportReader_t &report) {
    return report._U8(LevelOffset) & LevelMask;
}

QByteArray DimmerWire_t::_LevelCommand(int level) {
    QByteArray command = Ternix36::CommandHeader(Ternix36::OpRequest, Ternix36::KindDimmer);
    command.append(LevelCount);
    command.append(char(quint8(level | LevelFlag)));
    return command;
}
