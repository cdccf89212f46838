// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/DimmerNode.h"

namespace {
// Written out again on purpose, not taken from protocol/DimmerWire.h: see
// "Its own wire layouts" in sim/README.md.
constexpr int LevelCommandSize = 5;
constexpr int SubcommandOffset = 3;
constexpr char SetLevel = 0x01;
constexpr int LevelOffset = 4;
constexpr quint8 LevelFlag = 0x80;
constexpr int MaximumLevel = 100;
} // namespace

DimmerNode_t::DimmerNode_t(const QHostAddress &address, const QByteArray &name, QObject *parent)
    : SimNode_t(Ternix36::KindDimmer, address, name, parent) {
}

bool DimmerNode_t::_Command(const QByteArray &command) {
    if (command.size() != LevelCommandSize ||
        !_HasHeader(command, Ternix36::OpRequest, Ternix36::KindDimmer) ||
        command.at(SubcommandOffset) != SetLevel)
        return false;
    const quint8 levelByte = quint8(command.at(LevelOffset));
    const int asked = levelByte & ~LevelFlag;
    if (!(levelByte & LevelFlag) || asked > MaximumLevel)
        return false;
    level = asked;
    return true;
}

QByteArray DimmerNode_t::_Report() {
    QByteArray report = _Header();
    report.append(char(1));
    report.append(char(level | LevelFlag));
    return report + _NameTrailer();
}
