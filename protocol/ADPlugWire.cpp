// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/ADPlugWire.h"

#include "protocol/ReportReader.h"

namespace {
constexpr qint64 StateOffset = 4;
constexpr qint64 RealPowerOffset = 5;
constexpr qint64 ApparentPowerOffset = 9;
constexpr char TargetOn = 0x01;
constexpr char TargetOff = 0x00;
} // namespace

ADPlugWire_t::Reading_t ADPlugWire_t::_Read(const ReportReader_t &report) {
    Reading_t reading{};
    reading.on = report._U8(StateOffset) != 0;
    if (report._DataBlockSize() != 0) {
        reading.realPower = report._S32(RealPowerOffset);
        reading.apparentPower = report._S32(ApparentPowerOffset);
    }
    return reading;
}

QByteArray ADPlugWire_t::_SwitchCommand(bool on) {
    QByteArray command = Ternix36::CommandHeader(Ternix36::OpRequest, Ternix36::KindADPlug);
    command.append(on ? TargetOn : TargetOff);
    return command;
}
