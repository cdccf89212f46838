// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/NodeHistory.h"

#include "protocol/ADPlugWire.h"
#include "protocol/BlindsWire.h"
#include "protocol/BrightWire.h"
#include "protocol/DimmerWire.h"
#include "protocol/PlugWire.h"
#include "protocol/ReportReader.h"

#include <QByteArray>

#include <algorithm>

namespace {
using Sample_t = NodeHistory_t::Sample_t;
using Bucket_t = NodeHistory_t::Bucket_t;

// Rounded down, also before the epoch, as a test's clock may be.
qint64 _FloorDiv(qint64 value, qint64 divisor) {
    return value / divisor - (value % divisor < 0 ? 1 : 0);
}

Sample_t _Readings(Ternix36::_NodeType type, const ReportReader_t &report) {
    using Ternix36::_NodeType;
    Sample_t sample{};
    switch (type) {
    case _NodeType::_Plug: {
        const PlugWire_t::Reading_t reading = PlugWire_t::_Read(report);
        sample.state = reading.hasReadings;
        sample.a = reading.realPower;
        sample.b = reading.apparentPower;
        break;
    }
    case _NodeType::_ADPlug: {
        const ADPlugWire_t::Reading_t reading = ADPlugWire_t::_Read(report);
        sample.state = reading.on;
        sample.a = reading.realPower;
        sample.b = reading.apparentPower;
        break;
    }
    case _NodeType::_Bright: {
        const BrightWire_t::Reading_t reading = BrightWire_t::_Read(report);
        sample.a = reading.temperatureTenths;
        sample.b = reading.brightness;
        break;
    }
    case _NodeType::_Dimmer:
        sample.a = DimmerWire_t::_Level(report);
        break;
    case _NodeType::_Blinds:
        sample.state = BlindsWire_t::_State(report);
        break;
    }
    return sample;
}

Bucket_t _Bucket(qint64 startMinute, qint8 state, qint32 a, qint32 b) {
    return {qint32(startMinute), state, state, state, a, a, a, b, b, b};
}

// Adds a later bucket's readings to an earlier one.
void _Merge(Bucket_t &into, const Bucket_t &later) {
    into.minState = std::min(into.minState, later.minState);
    into.maxState = std::max(into.maxState, later.maxState);
    into.lastState = later.lastState;
    into.minA = std::min(into.minA, later.minA);
    into.maxA = std::max(into.maxA, later.maxA);
    into.lastA = later.lastA;
    into.minB = std::min(into.minB, later.minB);
    into.maxB = std::max(into.maxB, later.maxB);
    into.lastB = later.lastB;
}

// Into the tier's newest bucket when it has the same start, else as a new one.
template <typename Ring> void _Add(Ring &tier, const Bucket_t &bucket) {
    if (!tier.isEmpty() && tier.last().startMinute == bucket.startMinute)
        _Merge(tier.last(), bucket);
    else
        tier.append(bucket);
}
} // namespace

void NodeHistory_t::_Report(qint64 nowMs, const QByteArray &datagram) {
    const ReportReader_t report(datagram);
    if (!report._IsReport())
        return;
    Sample_t sample = _Readings(type, report);
    sample.ms = nowMs;

    _Settle(nowMs);
    // The first report is the one the panel was made for: no command of the
    // panel's came before it, though one may have been sent in its millisecond.
    const bool first = full.isEmpty() && minutes.isEmpty() && tenMinutes.isEmpty();
    for (qsizetype i = commands.size() - 1; i >= 0 && !first; --i) {
        Command_t &command = commands[i];
        if (command.answerMs != Waiting)
            break;
        // A node on the link may answer within the millisecond.
        if (command.sentMs <= nowMs)
            command.answerMs = qint32(nowMs - command.sentMs);
    }

    _Thin(nowMs);
    if (full.isFull())
        _ThinOldestSample();
    full.append(sample);
}

void NodeHistory_t::_Thin(qint64 nowMs) {
    while (!full.isEmpty() && full.first().ms <= nowMs - FullMs)
        _ThinOldestSample();
    while (!minutes.isEmpty() && minutes.first()._StartMs() < nowMs - MinutesMs)
        _ThinOldestMinute();
    const qint64 tenMinutesMs = TenMinutes * MinuteMs;
    while (!tenMinutes.isEmpty() && tenMinutes.first()._StartMs() + tenMinutesMs <= nowMs - KeptMs)
        tenMinutes.takeFirst();
}

void NodeHistory_t::_ThinOldestSample() {
    const Sample_t sample = full.takeFirst();
    const qint64 minute = _FloorDiv(sample.ms, MinuteMs);
    if (minutes.isFull() && minutes.last().startMinute != minute)
        _ThinOldestMinute();
    _Add(minutes, _Bucket(minute, qint8(sample.state), sample.a, sample.b));
}

void NodeHistory_t::_ThinOldestMinute() {
    Bucket_t bucket = minutes.takeFirst();
    bucket.startMinute = qint32(_FloorDiv(bucket.startMinute, TenMinutes) * TenMinutes);
    if (tenMinutes.isFull() && tenMinutes.last().startMinute != bucket.startMinute)
        tenMinutes.takeFirst();
    _Add(tenMinutes, bucket);
}

void NodeHistory_t::_Command(qint64 nowMs, Button_t button, int level) {
    _Settle(nowMs);
    if (commands.isFull())
        commands.takeFirst();
    Command_t command{};
    command.sentMs = nowMs;
    command.button = qint64(button);
    command.level = level;
    command.answerMs = Waiting;
    commands.append(command);
}

void NodeHistory_t::_NotAnswering(qint64 nowMs) {
    if (marks.isFull())
        marks.takeFirst();
    marks.append(nowMs);
}

void NodeHistory_t::_Settle(qint64 nowMs) {
    for (qsizetype i = commands.size() - 1; i >= 0; --i) {
        Command_t &command = commands[i];
        if (command.answerMs != Waiting)
            break;
        if (nowMs - command.sentMs > AnswerMs)
            command.answerMs = NoAnswer;
    }
}

qsizetype NodeHistory_t::_HeapBytes() const {
    return full.heapBytes() + minutes.heapBytes() + tenMinutes.heapBytes() + commands.heapBytes() +
           marks.heapBytes();
}
