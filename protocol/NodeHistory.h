// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/HistoryRing.h"
#include "protocol/NodeKinds.h"

#include <QtGlobal>

class QByteArray;

// What one node reported and was sent while its panel exists, in bounded
// memory: every report of the last ten minutes, older ones thinned to the
// least, greatest and last reading of each minute for the last hour, then of
// each ten minutes for a day. Times are ms since the epoch, read by the
// caller, so that one clock read serves a whole datagram.
class NodeHistory_t {
public:
    static constexpr qint64 MinuteMs = 60 * 1000;
    static constexpr qint64 FullMs = 10 * MinuteMs;
    static constexpr qint64 MinutesMs = 60 * MinuteMs;
    static constexpr int TenMinutes = 10; // minutes to a bucket of the day's tier
    static constexpr qint64 KeptMs = 24 * 60 * MinuteMs;
    // A command with no report within this long got no answer.
    static constexpr qint64 AnswerMs = 2000;

    // One report's readings, by the node's type:
    //   plugs: a real and b apparent power in hundredths of a watt, state 1 on, 0 off;
    //   sensor: a temperature in tenths of a degree, b brightness;
    //   dimmer: a the level as reported (0..127);
    //   blinds: state, byte 3 as sent (0 off, 1 down, 3 up).
    struct Sample_t {
        qint64 ms : 48;
        qint64 state : 16;
        qint32 a;
        qint32 b;
    };
    // The reports of one minute, or of ten.
    struct Bucket_t {
        qint32 startMinute; // minutes since the epoch
        qint8 minState, maxState, lastState;
        qint32 minA, maxA, lastA;
        qint32 minB, maxB, lastB;

        qint64 _StartMs() const { return qint64(startMinute) * MinuteMs; }
    };
    // What the command's button said.
    enum class Button_t : quint8 { Switch, Poll, Configure, Up, Down, Off, Level };
    static constexpr qint32 Waiting = -1;
    static constexpr qint32 NoAnswer = -2;
    struct Command_t {
        qint64 sentMs : 48;
        qint64 button : 8; // Button_t
        qint64 level : 8;  // the dimmer's level, for Button_t::Level
        qint32 answerMs;   // until the next report, or Waiting or NoAnswer
    };

    // Most records per tier: a node reporting once a second keeps ten
    // minutes in full; a faster one its last 600 reports.
    static constexpr int FullMost = 600;
    static constexpr int MinutesMost = 61;
    static constexpr int TenMinutesMost = 146;
    static constexpr int CommandsMost = 200;
    static constexpr int MarksMost = 64;

    explicit NodeHistory_t(Ternix36::_NodeType type)
        : type(type) {}

    // A datagram heard at nowMs; only reports are recorded. A report answers
    // the commands sent up to AnswerMs before it.
    void _Report(qint64 nowMs, const QByteArray &datagram);
    void _Command(qint64 nowMs, Button_t button, int level = 0);
    // The node let a probe's answer window pass in silence.
    void _NotAnswering(qint64 nowMs);
    // Commands still waiting at nowMs, sent over AnswerMs before, got no answer.
    void _Settle(qint64 nowMs);

    Ternix36::_NodeType _Type() const { return type; }
    const HistoryRing_t<Sample_t, FullMost> &_Full() const { return full; }
    const HistoryRing_t<Bucket_t, MinutesMost> &_Minutes() const { return minutes; }
    const HistoryRing_t<Bucket_t, TenMinutesMost> &_TenMinutes() const { return tenMinutes; }
    const HistoryRing_t<Command_t, CommandsMost> &_Commands() const { return commands; }
    const HistoryRing_t<qint64, MarksMost> &_Marks() const { return marks; }
    qsizetype _HeapBytes() const;

private:
    // Moves what is older than its tier keeps into the next, coarser one.
    void _Thin(qint64 nowMs);
    void _ThinOldestSample();
    void _ThinOldestMinute();

    HistoryRing_t<Sample_t, FullMost> full;
    HistoryRing_t<Bucket_t, MinutesMost> minutes;
    HistoryRing_t<Bucket_t, TenMinutesMost> tenMinutes;
    HistoryRing_t<Command_t, CommandsMost> commands;
    HistoryRing_t<qint64, MarksMost> marks;
    Ternix36::_NodeType type;
};
