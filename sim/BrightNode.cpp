// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/BrightNode.h"

#include "protocol/ReportReader.h"

#include <cstdlib>

namespace {
// Written out again on purpose, not taken from protocol/BrightWire.h: see
// "Its own wire layouts" in sim/README.md.
constexpr int PollCommandSize = 3;
constexpr int ConfigureCommandSize = 15;
constexpr int MeasureIntervalOffset = 3;
constexpr int PollIntervalOffset = 5;
constexpr int DeltaTemperatureOffset = 7;
constexpr int DeltaBrightnessOffset = 11;
constexpr char Readings = 8;
constexpr int MsPerSecond = 1000;
} // namespace

BrightNode_t::BrightNode_t(Ternix36::NodeKind kind, const QHostAddress &address,
                           const QByteArray &name, QObject *parent)
    : SimNode_t(kind, address, name, parent) {
    connect(&pollTimer, &QTimer::timeout, this, &BrightNode_t::_ReportDue);
    connect(&measureTimer, &QTimer::timeout, this, &BrightNode_t::_Measure);
}

bool BrightNode_t::_IsOwnKind(const QByteArray &command, quint8 operation) const {
    // The panel always sends 0x0111, also to a node of kind 0x0112.
    return _HasHeader(command, operation, Ternix36::KindBright) ||
           _HasHeader(command, operation, _Kind());
}

bool BrightNode_t::_Command(const QByteArray &command) {
    if (command.size() == PollCommandSize && _IsOwnKind(command, Ternix36::OpRequest))
        return true;
    if (command.size() == ConfigureCommandSize && _IsOwnKind(command, Ternix36::OpConfigure)) {
        _Configure(command);
        return true;
    }
    return false;
}

void BrightNode_t::_Configure(const QByteArray &command) {
    const ReportReader_t fields(command);
    configuration.measureInterval = fields._U16(MeasureIntervalOffset);
    configuration.pollInterval = fields._U16(PollIntervalOffset);
    configuration.deltaTemperature = fields._S32(DeltaTemperatureOffset);
    configuration.deltaBrightness = fields._S32(DeltaBrightnessOffset);

    if (configuration.pollInterval > 0)
        pollTimer.start(int(configuration.pollInterval) * MsPerSecond);
    else
        pollTimer.stop();
    if (configuration.measureInterval > 0)
        measureTimer.start(int(configuration.measureInterval) * MsPerSecond);
    else
        measureTimer.stop();
}

void BrightNode_t::_NextReadings() {
    temperature = _Drift(temperature, 150, 300, 3);
    brightness = _Drift(brightness, 50, 2000, 25);
}

void BrightNode_t::_Measure() {
    _NextReadings();
    const auto movedBy = [](qint32 now, qint32 before, qint32 delta) {
        return delta > 0 && std::llabs(qint64(now) - before) >= delta;
    };
    if (movedBy(temperature, reportedTemperature, configuration.deltaTemperature) ||
        movedBy(brightness, reportedBrightness, configuration.deltaBrightness))
        emit _ReportDue();
}

QByteArray BrightNode_t::_Report() {
    QByteArray report = _Header();
    report.append(Readings);
    _AppendS32(report, temperature);
    _AppendS32(report, brightness);
    reportedTemperature = temperature;
    reportedBrightness = brightness;
    // Without a measure interval every report is a fresh measurement.
    if (configuration.measureInterval == 0)
        _NextReadings();
    return report + _NameTrailer();
}
