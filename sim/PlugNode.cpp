// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/PlugNode.h"

namespace {
// Written out again on purpose, not taken from protocol/PlugWire.h: see
// "Its own wire layouts" in sim/README.md.
constexpr int SwitchCommandSize = 3;
constexpr char Readings = 8;
} // namespace

PlugNode_t::PlugNode_t(const QHostAddress &address, const QByteArray &name, QObject *parent)
    : SimNode_t(Ternix36::KindPlug, address, name, parent) {
}

bool PlugNode_t::_Command(const QByteArray &command) {
    if (command.size() != SwitchCommandSize ||
        !_HasHeader(command, Ternix36::OpRequest, Ternix36::KindPlug))
        return false;
    on = !on;
    return true;
}

QByteArray PlugNode_t::_Report() {
    QByteArray report = _Header();
    if (on) {
        report.append(Readings);
        _AppendS32(report, realPower);
        _AppendS32(report, realPower * 10 / 9); // a power factor of 0.9
        realPower = _Drift(realPower, 3500, 4500, 40);
    } else {
        report.append('\0');
    }
    return report + _NameTrailer();
}
