// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/ADPlugNode.h"

namespace {
// Written out again on purpose, not taken from protocol/ADPlugWire.h: see
// "Its own wire layouts" in sim/README.md.
constexpr int SwitchCommandSize = 4;
constexpr int TargetStateOffset = 3;
constexpr char StateAndReadings = 9;
} // namespace

ADPlugNode_t::ADPlugNode_t(const QHostAddress &address, const QByteArray &name, QObject *parent)
    : SimNode_t(Ternix36::KindADPlug, address, name, parent) {
}

bool ADPlugNode_t::_Command(const QByteArray &command) {
    if (command.size() != SwitchCommandSize ||
        !_HasHeader(command, Ternix36::OpRequest, Ternix36::KindADPlug))
        return false;
    const char target = command.at(TargetStateOffset);
    if (target != 0 && target != 1)
        return false;
    on = target == 1;
    return true;
}

QByteArray ADPlugNode_t::_Report() {
    QByteArray report = _Header();
    report.append(StateAndReadings);
    report.append(char(on ? 1 : 0));
    _AppendS32(report, on ? realPower : 0);
    _AppendS32(report, on ? realPower * 20 / 19 : 0); // a power factor of 0.95
    if (on)
        realPower = _Drift(realPower, 11000, 12000, 60);
    return report + _NameTrailer();
}
