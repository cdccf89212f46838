// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/BlindsWire.h"

#include "protocol/ReportReader.h"

namespace {
constexpr qint64 StateOffset = 3;
} // namespace

qint8 BlindsWire_t::_State(const ReportReader_t &report) {
    return report._S8(StateOffset);
}

QByteArray BlindsWire_t::_DriveCommand(qint8 direction) {
    QByteArray command = Ternix36::CommandHeader(Ternix36::OpRequest, Ternix36::KindBlinds);
    command.append(char(direction));
    return command;
}
