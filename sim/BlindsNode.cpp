// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/BlindsNode.h"

namespace {
// Written out again on purpose, not taken from protocol/BlindsWire.h: see
// "Its own wire layouts" in sim/README.md.
constexpr int DriveCommandSize = 4;
constexpr int DirectionOffset = 3;
} // namespace

BlindsNode_t::BlindsNode_t(const QHostAddress &address, const QByteArray &name, QObject *parent)
    : SimNode_t(Ternix36::KindBlinds, address, name, parent) {
    travel.setSingleShot(true);
    travel.setInterval(TravelMs);
    connect(&travel, &QTimer::timeout, this, &BlindsNode_t::_Arrive);
}

bool BlindsNode_t::_Command(const QByteArray &command) {
    if (command.size() != DriveCommandSize ||
        !_HasHeader(command, Ternix36::OpRequest, Ternix36::KindBlinds))
        return false;
    const char direction = command.at(DirectionOffset);
    if (direction != _Off && direction != _Down && direction != _Up)
        return false;
    state = _State(direction);
    if (state == _Off)
        travel.stop();
    else
        travel.start();
    return true;
}

QByteArray BlindsNode_t::_Report() {
    return _Header() + char(state);
}

void BlindsNode_t::_Arrive() {
    travel.stop();
    if (state == _Off)
        return;
    state = _Off;
    emit _ReportDue();
}
