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
#include <cstring>
#include <iterator>

namespace {
using Sample_t = NodeHistory_t::Sample_t;
using Span_t = NodeHistory_t::Span_t;
using Bucket_t = NodeHistory_t::Bucket_t;
using Command_t = NodeHistory_t::Command_t;
using Button_t = NodeHistory_t::Button_t;
using Effect_t = NodeHistory_t::Effect_t;

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

Span_t _Span(qint32 value, quint16 at) {
    return {value, value, value, value, at, at};
}

// One sample as the bucket of its minute.
Bucket_t _Bucket(qint64 startMinute, const Sample_t &sample) {
    const auto at =
        quint16((sample.ms - startMinute * NodeHistory_t::MinuteMs) / NodeHistory_t::TickMs);
    return {qint32(startMinute), at, at, _Span(sample.a, at), _Span(sample.b, at)};
}

// Adds a later span, its times counted from the same start. A value reached
// again keeps the time it was first reached.
void _Merge(Span_t &into, const Span_t &later) {
    if (later.least < into.least) {
        into.least = later.least;
        into.leastAt = later.leastAt;
    }
    if (later.greatest > into.greatest) {
        into.greatest = later.greatest;
        into.greatestAt = later.greatestAt;
    }
    into.last = later.last;
}

void _Merge(Bucket_t &into, const Bucket_t &later) {
    into.lastAt = later.lastAt;
    _Merge(into.a, later.a);
    _Merge(into.b, later.b);
}

void _Shift(Span_t &span, quint16 ticks) {
    span.leastAt += ticks;
    span.greatestAt += ticks;
}

// The bucket with its times counted from an earlier start, that of the
// ten minutes it goes into.
Bucket_t _Rebased(Bucket_t bucket, qint32 startMinute) {
    const auto ticks = quint16((bucket.startMinute - startMinute) *
                               (NodeHistory_t::MinuteMs / NodeHistory_t::TickMs));
    bucket.startMinute = startMinute;
    bucket.firstAt += ticks;
    bucket.lastAt += ticks;
    _Shift(bucket.a, ticks);
    _Shift(bucket.b, ticks);
    return bucket;
}

// Into the tier's newest bucket when it has the same start, else as a new one.
template <typename Ring> void _Add(Ring &tier, const Bucket_t &bucket) {
    if (!tier.isEmpty() && tier.last().startMinute == bucket.startMinute)
        _Merge(tier.last(), bucket);
    else
        tier.append(bucket);
}

struct Expectation_t {
    Effect_t effect;
    qint32 expected;
};

// What a report must show to answer the command: the node's type and the
// button tell, since every node answers a command with a report, and most
// also report unasked.
Expectation_t _Expectation(Ternix36::_NodeType type, const NodeHistory_t::Sent_t &sent,
                           const Sample_t *lastReport) {
    using Ternix36::_NodeType;
    switch (sent.button) {
    case Button_t::Switch:
        // The toggling plug is told no state: any other than it had.
        if (type == _NodeType::_Plug)
            return lastReport ? Expectation_t{Effect_t::StateChanged, qint32(lastReport->state)}
                              : Expectation_t{Effect_t::AnyReport, 0};
        return {Effect_t::StateIs, sent.value};
    case Button_t::Up:
    case Button_t::Down:
    case Button_t::Off:
        return {Effect_t::StateIs, sent.value};
    case Button_t::Level:
        return {Effect_t::LevelIs, sent.value};
    case Button_t::Poll:
    case Button_t::Configure:
        break;
    }
    return {Effect_t::AnyReport, 0};
}

bool _Shows(const Sample_t &sample, const Command_t &command) {
    switch (Effect_t(command.effect)) {
    case Effect_t::AnyReport:
        return true;
    case Effect_t::StateChanged:
        return sample.state != command.expected;
    case Effect_t::StateIs:
        return sample.state == command.expected;
    case Effect_t::LevelIs:
        return sample.a == command.expected;
    }
    return false;
}
} // namespace

void NodeHistory_t::_Report(const Moment_t &now, const QByteArray &datagram) {
    const ReportReader_t report(datagram);
    if (!report._IsReport())
        return;
    Sample_t sample = _Readings(type, report);
    sample.ms = now.wallMs;

    _Settle(now);
    // The first report is the one the panel was made for: no command of the
    // panel's came before it, though one may have been sent in its millisecond.
    const bool first = full.isEmpty() && minutes.isEmpty() && tenMinutes.isEmpty();
    if (!first)
        _Answer(now, sample);

    _Thin(now.wallMs);
    if (full.isFull())
        _ThinOldestSample();
    full.append(sample);
    if (_HasState())
        _RecordState(sample);
}

void NodeHistory_t::_Answer(const Moment_t &now, const Sample_t &sample) {
    // Settled, every command sent over AnswerMs before is waiting no more.
    qsizetype i = commands.size();
    while (i > 0 && now.monotonicMs - commands.at(i - 1).sentMonotonicMs <= AnswerMs)
        --i;
    for (; i < commands.size(); ++i) {
        Command_t &command = commands[i];
        if (command.answerMs == Waiting && _Shows(sample, command))
            command.answerMs =
                qint32(std::max<qint64>(0, now.monotonicMs - command.sentMonotonicMs));
    }
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
    _Add(minutes, _Bucket(minute, sample));
}

void NodeHistory_t::_ThinOldestMinute() {
    const Bucket_t minute = minutes.takeFirst();
    const Bucket_t bucket =
        _Rebased(minute, qint32(_FloorDiv(minute.startMinute, TenMinutes) * TenMinutes));
    if (tenMinutes.isFull() && tenMinutes.last().startMinute != bucket.startMinute)
        tenMinutes.takeFirst();
    _Add(tenMinutes, bucket);
}

void NodeHistory_t::_RecordState(const Sample_t &sample) {
    if (changes.size() > changesFrom) {
        // A bucket knows when its first report came to a tick only: a change
        // within that tick is taken as the oldest report's.
        const bool inBucket = !tenMinutes.isEmpty() || !minutes.isEmpty();
        _DropChangesUntil(_OldestReportMs() + (inBucket ? TickMs - 1 : 0));
        if (qint8(changes.back()) == qint8(sample.state))
            return;
    }
    _AppendChange(sample.ms, qint32(sample.state));
}

void NodeHistory_t::_DropChangesUntil(qint64 ms) {
    // The last change up to `ms` stays: it is the state at the start of the records.
    const char *const end = changes.constData() + changes.size();
    for (;;) {
        const char *next = changes.constData() + changesFrom;
        _Unpack(next);
        if (next == end)
            return;
        const char *afterNext = next;
        const qint64 nextMs = changesFromMs + _Unpack(afterNext).deltaMs;
        if (nextMs > ms)
            return;
        changesFrom = qint32(next - changes.constData());
        changesFromMs = nextMs;
    }
}

void NodeHistory_t::_AppendChange(qint64 ms, qint32 state) {
    const bool first = changes.isEmpty();
    const qint64 deltaMs = first ? 0 : ms - lastChangeMs;
    char packed[2 + 10 + 1];
    int length = 0;
    if (deltaMs < 0) {
        packed[length++] = char(0x80);
        packed[length++] = 0;
    }
    quint64 value = deltaMs < 0 ? 0 - quint64(deltaMs) : quint64(deltaMs);
    do {
        const auto low = quint8(value & 0x7F);
        value >>= 7;
        packed[length++] = char(value ? low | 0x80 : low);
    } while (value);
    packed[length++] = char(qint8(state));

    // Before the bytes grow, the dropped changes make room, once they are an
    // eighth of them: each byte kept is then moved at most seven times for
    // each one dropped.
    if (changes.size() + length > changes.capacity() && changesFrom > 0 &&
        changesFrom >= changes.size() / 8) {
        char *bytes = changes.data();
        std::memmove(bytes, bytes + changesFrom, size_t(changes.size() - changesFrom));
        changes.truncate(changes.size() - changesFrom);
        changesFrom = 0;
    }
    changes.append(packed, length);
    lastChangeMs = ms;
    if (first)
        changesFromMs = ms;
}

void NodeHistory_t::_Command(const Moment_t &now, const Sent_t &sent) {
    _Settle(now);
    const Expectation_t expectation =
        _Expectation(type, sent, full.isEmpty() ? nullptr : &full.last());
    if (commands.isFull())
        commands.takeFirst();
    Command_t command{};
    command.sentMs = now.wallMs;
    command.button = qint64(sent.button);
    command.effect = qint64(expectation.effect);
    command.sentMonotonicMs = now.monotonicMs;
    command.expected = expectation.expected;
    command.answerMs = Waiting;
    commands.append(command);

    if (sent.button != Button_t::Configure)
        return;
    if (configurations.isFull())
        configurations.takeFirst();
    Configuration_t configuration{};
    configuration.sentMs = now.wallMs;
    std::copy(std::begin(sent.configuration), std::end(sent.configuration),
              std::begin(configuration.values));
    configurations.append(configuration);
}

void NodeHistory_t::_NotAnswering(qint64 nowMs) {
    if (marks.isFull())
        marks.takeFirst();
    marks.append(nowMs);
}

void NodeHistory_t::_Settle(const Moment_t &now) {
    // Newest first. A command that got no answer had every older one settled
    // with it or before.
    for (qsizetype i = commands.size() - 1; i >= 0; --i) {
        Command_t &command = commands[i];
        if (now.monotonicMs - command.sentMonotonicMs <= AnswerMs)
            continue;
        if (command.answerMs == NoAnswer)
            break;
        if (command.answerMs == Waiting)
            command.answerMs = NoAnswer;
    }
}

qsizetype NodeHistory_t::_HeapBytes() const {
    return full.heapBytes() + minutes.heapBytes() + tenMinutes.heapBytes() + commands.heapBytes() +
           configurations.heapBytes() + marks.heapBytes() + changes.capacity();
}
