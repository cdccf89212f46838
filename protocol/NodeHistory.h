// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/Clock.h"
#include "protocol/HistoryRing.h"
#include "protocol/NodeKinds.h"

#include <QByteArray>
#include <QList>
#include <QtGlobal>

#include <algorithm>

// What one node reported and was sent while its panel exists, in bounded
// memory:
// - every report of the last ten minutes;
// - older readings thinned to buckets, one a minute for the last hour, then
//   one each ten minutes for a day, each with its first, least, greatest and
//   last reading and when they came;
// - every change of a state (on/off, the blinds' direction) of the day,
//   never thinned;
// - the commands sent, each with whether and when a report showed its effect,
//   and the marks of probes left unanswered.
// Moments come from the caller, so that one clock read serves a whole
// datagram: the wall clock is what is shown, the monotonic clock what every
// interval is measured on.
//
// The history window lives in a module that links none of the program's
// code: everything it reads here is inline.
class NodeHistory_t {
public:
    static constexpr qint64 MinuteMs = 60 * 1000;
    static constexpr qint64 FullMs = 10 * MinuteMs;
    static constexpr qint64 MinutesMs = 60 * MinuteMs;
    static constexpr int TenMinutes = 10; // minutes to a bucket of the day's tier
    static constexpr qint64 KeptMs = 24 * 60 * MinuteMs;
    // A command that no report within this long shows the effect of got no answer.
    static constexpr qint64 AnswerMs = 2000;
    // The unit of the times within a bucket: a ten-minute bucket counts up to 60,000.
    static constexpr qint64 TickMs = 10;

    // One report's readings, by the node's type:
    //   plugs: a real and b apparent power in hundredths of a watt, state 1 on, 0 off;
    //   sensor: a temperature in tenths of a degree, b brightness;
    //   dimmer: a the level as reported (0..127);
    //   blinds: state, byte 3 as sent (0 off, 1 down, 3 up; any other code as it came).
    struct Sample_t {
        qint64 ms : 48; // wall clock
        qint64 state : 16;
        qint32 a;
        qint32 b;
    };
    // One reading (a or b) through a bucket: its first, least, greatest and
    // last value, and when the least and greatest came, in ticks after the
    // bucket's start.
    struct Span_t {
        qint32 first;
        qint32 least;
        qint32 greatest;
        qint32 last;
        quint16 leastAt;
        quint16 greatestAt;
    };
    // The reports of one minute, or of ten; when the first and last of them
    // came, in ticks after the start.
    struct Bucket_t {
        qint32 startMinute; // minutes since the epoch
        quint16 firstAt;
        quint16 lastAt;
        Span_t a;
        Span_t b;

        qint64 _StartMs() const { return qint64(startMinute) * MinuteMs; }
        // A time within the bucket, given in ticks after its start.
        qint64 _Ms(quint16 at) const { return _StartMs() + qint64(at) * TickMs; }
    };

    // A change of state, and the state it changed to.
    struct Change_t {
        qint64 ms; // wall clock
        qint32 state;
    };

    // What the command's button said.
    enum class Button_t : quint8 { Switch, Poll, Configure, Up, Down, Off, Level };
    // What a command asked of the node, as the panel sent it:
    //   Level: the dimmer's level;
    //   Switch of the AD plug: the state named, 1 on, 0 off;
    //   Up, Down, Off: the direction sent to the blinds (0, 1 or 3);
    //   Configure: the four values sent, in the order of the sensor's fields
    //   (poll interval, measure interval, delta temperature in degrees, delta
    //   brightness);
    //   Switch of the toggling plug and Poll: nothing.
    struct Sent_t {
        Button_t button;
        qint32 value = 0;
        qint32 configuration[4] = {0, 0, 0, 0};
    };
    // What shows that a command took effect.
    enum class Effect_t : quint8 {
        AnyReport,    // Poll, Configure: any report
        StateChanged, // the toggling plug's Switch: a state other than `expected`
        StateIs,      // the AD plug's Switch, the blinds: the state `expected`
        LevelIs,      // the dimmer: the level `expected`
    };
    static constexpr qint32 Waiting = -1;
    static constexpr qint32 NoAnswer = -2;
    struct Command_t {
        qint64 sentMs : 48; // wall clock
        qint64 button : 8;  // Button_t
        qint64 effect : 8;  // Effect_t
        qint64 sentMonotonicMs;
        qint32 expected;
        // ms from sending to the first report that showed the effect, or
        // Waiting or NoAnswer.
        qint32 answerMs;
    };
    // The values a Configure sent, by the time it was sent.
    struct Configuration_t {
        qint64 sentMs;
        qint32 values[4];
    };

    // Most records per tier: a node reporting once a second keeps ten
    // minutes in full; a faster one its last 600 reports.
    static constexpr int FullMost = 600;
    static constexpr int MinutesMost = 61;
    static constexpr int TenMinutesMost = 146;
    static constexpr int CommandsMost = 200;
    static constexpr int ConfigurationsMost = 16;
    static constexpr int MarksMost = 64;

    explicit NodeHistory_t(Ternix36::_NodeType type)
        : type(type) {}

    // A datagram heard now; only reports are recorded. A report answers the
    // commands waiting for it whose effect it shows.
    void _Report(const Moment_t &now, const QByteArray &datagram);
    void _Command(const Moment_t &now, const Sent_t &sent);
    // The node let a probe's answer window pass in silence (wall clock).
    void _NotAnswering(qint64 nowMs);
    // Commands still waiting now, sent over AnswerMs before, got no answer.
    void _Settle(const Moment_t &now);

    Ternix36::_NodeType _Type() const { return type; }
    // Whether the kind reports a state (plugs, blinds).
    bool _HasState() const {
        return type == Ternix36::_NodeType::_Plug || type == Ternix36::_NodeType::_ADPlug ||
               type == Ternix36::_NodeType::_Blinds;
    }
    const HistoryRing_t<Sample_t, FullMost> &_Full() const { return full; }
    const HistoryRing_t<Bucket_t, MinutesMost> &_Minutes() const { return minutes; }
    const HistoryRing_t<Bucket_t, TenMinutesMost> &_TenMinutes() const { return tenMinutes; }
    const HistoryRing_t<Command_t, CommandsMost> &_Commands() const { return commands; }
    const HistoryRing_t<Configuration_t, ConfigurationsMost> &_Configurations() const {
        return configurations;
    }
    const HistoryRing_t<qint64, MarksMost> &_Marks() const { return marks; }
    // Every change of state of the last day, oldest first; the first is the
    // state of the oldest report kept, at its time.
    QList<Change_t> _Changes() const; // inline, below
    qsizetype _HeapBytes() const;

private:
    // One packed change: the ms since the change before it, then the state.
    struct Packed_t {
        qint64 deltaMs;
        qint32 state;
    };
    // A change is packed as the ms since the change before it, a varint of 7
    // bits a byte, low bits first, then the state as one signed byte. A
    // clock set back writes 80 00 (a zero written long, which no delta is)
    // and then the ms it went back. Reads the change at `at` and moves past it.
    static Packed_t _Unpack(const char *&at) {
        const bool back = quint8(at[0]) == 0x80 && at[1] == 0;
        if (back)
            at += 2;
        quint64 value = 0;
        for (int shift = 0;; shift += 7) {
            const quint8 byte = quint8(*at++);
            value |= quint64(byte & 0x7F) << shift;
            if (!(byte & 0x80))
                break;
        }
        const qint32 state = qint8(*at++);
        return {back ? -qint64(value) : qint64(value), state};
    }
    // When the oldest report still kept came; in a bucket, to a tick.
    qint64 _OldestReportMs() const {
        if (!tenMinutes.isEmpty())
            return tenMinutes.first()._Ms(tenMinutes.first().firstAt);
        if (!minutes.isEmpty())
            return minutes.first()._Ms(minutes.first().firstAt);
        return full.first().ms;
    }

    // What a report shows: the commands whose effect it is are answered.
    void _Answer(const Moment_t &now, const Sample_t &sample);
    // Moves what is older than its tier keeps into the next, coarser one.
    void _Thin(qint64 nowMs);
    void _ThinOldestSample();
    void _ThinOldestMinute();
    void _RecordState(const Sample_t &sample);
    void _DropChangesUntil(qint64 ms);
    void _AppendChange(qint64 ms, qint32 state);

    HistoryRing_t<Sample_t, FullMost> full;
    HistoryRing_t<Bucket_t, MinutesMost> minutes;
    HistoryRing_t<Bucket_t, TenMinutesMost> tenMinutes;
    HistoryRing_t<Command_t, CommandsMost> commands;
    HistoryRing_t<Configuration_t, ConfigurationsMost> configurations;
    HistoryRing_t<qint64, MarksMost> marks;
    // The changes, packed (see _Unpack): a few bytes each. Those before
    // changesFrom were dropped; the one at changesFrom came at changesFromMs,
    // and its own delta counts from a dropped one.
    QByteArray changes;
    qint64 changesFromMs = 0;
    qint64 lastChangeMs = 0;
    qint32 changesFrom = 0;
    Ternix36::_NodeType type;
};

inline QList<NodeHistory_t::Change_t> NodeHistory_t::_Changes() const {
    QList<Change_t> list;
    if (changes.size() <= changesFrom)
        return list;
    const char *at = changes.constData() + changesFrom;
    const char *const end = changes.constData() + changes.size();
    // The state at the start of the records, which may have come before them.
    // A bucket knows its first report's time to a tick; when that report was
    // the change itself, its time is known to the ms.
    list.append({std::max(_OldestReportMs(), changesFromMs), _Unpack(at).state});
    qint64 ms = changesFromMs;
    while (at < end) {
        const Packed_t change = _Unpack(at);
        ms += change.deltaMs;
        list.append({ms, change.state});
    }
    return list;
}
