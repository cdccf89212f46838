// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/BrightWire.h"

#include "protocol/ReportReader.h"

#include <QtEndian>

namespace {
constexpr qint64 TemperatureOffset = 4;
constexpr qint64 BrightnessOffset = 8;

constexpr int ConfigureSize = 15;
constexpr int MeasureIntervalOffset = 3;
constexpr int PollIntervalOffset = 5;
constexpr int DeltaTemperatureOffset = 7;
constexpr int DeltaBrightnessOffset = 11;
} // namespace

BrightWire_t::Reading_t BrightWire_t::_Read(const ReportReader_t &report) {
    return {report._S32(TemperatureOffset), report._S32(BrightnessOffset)};
}

QByteArray BrightWire_t::_PollCommand() {
    return Ternix36::CommandHeader(Ternix36::OpRequest, Ternix36::KindBright);
}

QByteArray BrightWire_t::_ConfigureCommand(qint32 measureInterval, qint32 pollInterval,
                                           qint32 deltaTemperature, qint32 deltaBrightness) {
    QByteArray command(ConfigureSize, '\0');
    command.replace(0, Ternix36::HeaderSize,
                    Ternix36::CommandHeader(Ternix36::OpConfigure, Ternix36::KindBright));
    uchar *bytes = reinterpret_cast<uchar *>(command.data());
    qToLittleEndian(quint16(measureInterval), bytes + MeasureIntervalOffset);
    qToLittleEndian(quint16(pollInterval), bytes + PollIntervalOffset);
    // Unsigned arithmetic wraps rather than overflowing a signed multiplication.
    qToLittleEndian(quint32(deltaTemperature) * 10u, bytes + DeltaTemperatureOffset);
    qToLittleEndian(quint32(deltaBrightness), bytes + DeltaBrightnessOffset);
    return command;
}
