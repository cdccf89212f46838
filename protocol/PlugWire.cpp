// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/PlugWire.h"

#include "protocol/ReportReader.h"

namespace {
constexpr qint64 RealPowerOffset = 4;
constexpr qint64 ApparentPowerOffset = 8;
} // namespace

PlugWire_t::Reading_t PlugWire_t::_Read(const ReportReader_t &report) {
    Reading_t reading{};
    reading.hasReadings = report._DataBlockSize() != 0;
    if (!reading.hasReadings)
        return reading;
    reading.realPower = report._S32(RealPowerOffset);
    if (reading.realPower != 0)
        reading.apparentPower = report._S32(ApparentPowerOffset);
    return reading;
}

QByteArray PlugWire_t::_SwitchCommand() {
    return Ternix36::CommandHeader(Ternix36::OpRequest, Ternix36::KindPlug);
}
