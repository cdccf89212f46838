// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/NodeHistory.h"

#include "TestSupport.h"

#include <QTest>

using namespace TestSupport;
using Ternix36::_NodeType;
using Button_t = NodeHistory_t::Button_t;
using Effect_t = NodeHistory_t::Effect_t;

Q_DECLARE_METATYPE(_NodeType)
Q_DECLARE_METATYPE(Button_t)
Q_DECLARE_METATYPE(Effect_t)

namespace {
// A whole ten minutes since the epoch, as the thinned tiers count them.
constexpr qint64 Start = 1800000000000;
// The monotonic clock at Start: it reads far from the wall clock, as it does.
constexpr qint64 Monotonic = 5000000;

// ms after Start, on both clocks.
Moment_t at(qint64 ms) {
    return {Start + ms, Monotonic + ms};
}

// The toggling plug on, drawing 10 W (20 VA), and off.
const QByteArray PlugOn = hex("00 10 01 08 E8030000 D0070000 00");
const QByteArray PlugOff = hex("00 10 01 00 00");
} // namespace

class TestNodeHistory : public QObject {
    Q_OBJECT

private slots:
    void recordedReadings_data();
    void recordedReadings();
    void thinning_data();
    void thinning();
    void changesThinned_data();
    void changesThinned();
    void answers_data();
    void answers();
};

void TestNodeHistory::recordedReadings_data() {
    QTest::addColumn<_NodeType>("type");
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<bool>("recorded");
    QTest::addColumn<qint32>("a");
    QTest::addColumn<qint32>("b");
    QTest::addColumn<qint32>("state");

    QTest::newRow("plug on") << _NodeType::_Plug << hex("00 10 01 08 E8030000 B0040000 00") << true
                             << 1000 << 1200 << 1;
    QTest::newRow("plug without readings")
        << _NodeType::_Plug << hex("00 10 01 00 04 4B697465") << true << 0 << 0 << 0;
    QTest::newRow("AD plug off, drawing")
        << _NodeType::_ADPlug << hex("00 20 01 09 00 39300000 64000000 00") << true << 12345 << 100
        << 0;
    QTest::newRow("sensor") << _NodeType::_Bright << hex("00 11 01 08 D7000000 10270000 00") << true
                            << 215 << 10000 << 0;
    QTest::newRow("dimmer") << _NodeType::_Dimmer << hex("00 30 01 01 B2 00") << true << 50 << 0
                            << 0;
    QTest::newRow("blinds up") << _NodeType::_Blinds << hex("00 21 01 03") << true << 0 << 0 << 3;
    QTest::newRow("blinds, state -1")
        << _NodeType::_Blinds << hex("00 21 01 FF") << true << 0 << 0 << -1;
    QTest::newRow("shorter than a header")
        << _NodeType::_Plug << hex("00 10") << false << 0 << 0 << 0;
}

void TestNodeHistory::recordedReadings() {
    QFETCH(_NodeType, type);
    QFETCH(QByteArray, datagram);
    QFETCH(bool, recorded);

    NodeHistory_t history(type);
    history._Report(at(0), datagram);
    QCOMPARE(history._Full().size(), recorded ? 1 : 0);
    if (!recorded)
        return;
    const NodeHistory_t::Sample_t sample = history._Full().at(0);
    QCOMPARE(qint64(sample.ms), Start);
    QTEST(sample.a, "a");
    QTEST(sample.b, "b");
    QTEST(qint32(sample.state), "state");
}

void TestNodeHistory::thinning_data() {
    QTest::addColumn<qint64>("intervalMs");
    QTest::addColumn<qint64>("durationMs");
    QTest::addColumn<qint64>("switchEveryMs"); // 0: never
    QTest::addColumn<int>("full");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<int>("tenMinutes");
    // The changes kept, and when the first and last came, after Start.
    QTest::addColumn<int>("changes");
    QTest::addColumn<qint64>("firstChangeMs");
    QTest::addColumn<qint64>("lastChangeMs");
    QTest::addColumn<int>("mostKB");

    // Every report of the last 10 minutes, a bucket a minute back to an hour,
    // then one per 10 minutes back to the first report a day ago.
    QTest::newRow("every 5 s for a day") << qint64(5000) << qint64(86400000) << qint64(0) << 120
                                         << 51 << 138 << 1 << qint64(0) << qint64(0) << 12;
    QTest::newRow("every second for 20 min") << qint64(1000) << qint64(1200000) << qint64(0) << 600
                                             << 11 << 0 << 1 << qint64(0) << qint64(0) << 12;
    // Faster than the full tier holds: its last 600 reports, the rest thinned.
    QTest::newRow("every 0.5 s for 11 min") << qint64(500) << qint64(660000) << qint64(0) << 600
                                            << 7 << 0 << 1 << qint64(0) << qint64(0) << 12;
    // Every change of the last day, 8,640, after the state at the start of
    // the oldest ten minutes kept, 08:00 (3 bytes a change).
    QTest::newRow("every 5 s for 32 h, switched every 10 s")
        << qint64(5000) << qint64(115200000) << qint64(10000) << 120 << 51 << 138 << 8641
        << qint64(28800000) << qint64(115200000) << 48;
}

void TestNodeHistory::thinning() {
    QFETCH(qint64, intervalMs);
    QFETCH(qint64, durationMs);
    QFETCH(qint64, switchEveryMs);
    QFETCH(int, mostKB);

    NodeHistory_t history(_NodeType::_Plug);
    QByteArray report = PlugOn;
    // Real power 0, 1, ... 11 W in turn: twelve reports make each minute of the first row.
    for (qint64 k = 0; k * intervalMs <= durationMs; ++k) {
        const qint32 hundredths = qint32(k % 12) * 100;
        memcpy(report.data() + 4, &hundredths, sizeof hundredths);
        const bool off = switchEveryMs > 0 && (k * intervalMs / switchEveryMs) % 2 == 1;
        history._Report(at(k * intervalMs), off ? PlugOff : report);
    }
    QTEST(int(history._Full().size()), "full");
    QTEST(int(history._Minutes().size()), "minutes");
    QTEST(int(history._TenMinutes().size()), "tenMinutes");
    QVERIFY2(history._HeapBytes() <= mostKB * 1024,
             qPrintable(QString::number(history._HeapBytes())));

    const QList<NodeHistory_t::Change_t> changes = history._Changes();
    QTEST(int(changes.size()), "changes");
    QTEST(changes.first().ms - Start, "firstChangeMs");
    QTEST(changes.last().ms - Start, "lastChangeMs");
    QCOMPARE(changes.first().state, 1);
    QCOMPARE(changes.last().state, 1);

    if (switchEveryMs > 0)
        return;
    // Oldest first in every tier, and the first report is still there.
    const qint64 oldest = history._TenMinutes().isEmpty()
                              ? history._Minutes().first()._StartMs()
                              : history._TenMinutes().first()._StartMs();
    QCOMPARE(oldest, Start);
    if (intervalMs == 5000) {
        // 0 W at :00, 11 W first at :55, and at the last report, 9:55.
        const NodeHistory_t::Bucket_t first = history._TenMinutes().first();
        QCOMPARE(first.firstAt, 0);
        QCOMPARE(first.lastAt, 59500);
        QCOMPARE(first.a.first, 0);
        QCOMPARE(first.a.least, 0);
        QCOMPARE(first.a.leastAt, 0);
        QCOMPARE(first.a.greatest, 1100);
        QCOMPARE(first.a.greatestAt, 5500);
        QCOMPARE(first.a.last, 1100);
        QCOMPARE(qint64(history._Full().first().ms), Start + 86400000 - 595000);
    }
}

void TestNodeHistory::changesThinned_data() {
    QTest::addColumn<_NodeType>("type");
    // A report every second through the minute from 00:03:00 (and 7 ms), from
    // each of these seconds on the one beside it.
    QTest::addColumn<QList<int>>("fromSeconds");
    QTest::addColumn<QList<QByteArray>>("reports");
    // The ten minutes from 00:00 after the minute is thinned, in ticks of 10 ms.
    QTest::addColumn<int>("firstAt");
    QTest::addColumn<int>("lastAt");
    QTest::addColumn<qint32>("aFirst");
    QTest::addColumn<qint32>("aLeast");
    QTest::addColumn<int>("aLeastAt");
    QTest::addColumn<qint32>("aGreatest");
    QTest::addColumn<int>("aGreatestAt");
    QTest::addColumn<qint32>("aLast");
    // The changes, in ms after 00:00, and their states.
    QTest::addColumn<QList<qint64>>("changeMs");
    QTest::addColumn<QList<int>>("states");

    // On at 10 W, off from :15, on at 12 W from :57.
    QTest::newRow("plug off for 42 s")
        << _NodeType::_Plug << QList<int>{0, 15, 57}
        << QList<QByteArray>{PlugOn, PlugOff, hex("00 10 01 08 B0040000 D0070000 00")} << 18000
        << 23900 << 1000 << 0 << 19500 << 1200 << 23700 << 1200
        << QList<qint64>{180007, 195007, 237007} << QList<int>{1, 0, 1};
    // Nothing but the state: every least and greatest is the first report's.
    QTest::newRow("blinds down, up, off")
        << _NodeType::_Blinds << QList<int>{0, 10, 20}
        << QList<QByteArray>{hex("00 21 01 01"), hex("00 21 01 03"), hex("00 21 01 00")} << 18000
        << 23900 << 0 << 0 << 18000 << 0 << 18000 << 0 << QList<qint64>{180007, 190007, 200007}
        << QList<int>{1, 3, 0};
}

void TestNodeHistory::changesThinned() {
    QFETCH(_NodeType, type);
    QFETCH(QList<int>, fromSeconds);
    QFETCH(QList<QByteArray>, reports);
    QFETCH(QList<qint64>, changeMs);
    QFETCH(QList<int>, states);

    NodeHistory_t history(type);
    for (int second = 0, part = 0; second < 60; ++second) {
        if (part + 1 < fromSeconds.size() && second == fromSeconds[part + 1])
            ++part;
        history._Report(at(180007 + second * 1000), reports[part]);
    }
    // 70 minutes on, the minute is in the ten minutes from 00:00.
    history._Report(at(180007 + 70 * 60000), reports.last());

    QCOMPARE(history._TenMinutes().size(), 1);
    const NodeHistory_t::Bucket_t bucket = history._TenMinutes().first();
    QCOMPARE(bucket._StartMs(), Start);
    QTEST(int(bucket.firstAt), "firstAt");
    QTEST(int(bucket.lastAt), "lastAt");
    QTEST(bucket.a.first, "aFirst");
    QTEST(bucket.a.least, "aLeast");
    QTEST(int(bucket.a.leastAt), "aLeastAt");
    QTEST(bucket.a.greatest, "aGreatest");
    QTEST(int(bucket.a.greatestAt), "aGreatestAt");
    QTEST(bucket.a.last, "aLast");

    const QList<NodeHistory_t::Change_t> changes = history._Changes();
    QCOMPARE(changes.size(), changeMs.size());
    for (qsizetype i = 0; i < changes.size(); ++i) {
        QCOMPARE(changes[i].ms, Start + changeMs[i]);
        QCOMPARE(changes[i].state, states[i]);
    }
}

void TestNodeHistory::answers_data() {
    QTest::addColumn<_NodeType>("type");
    QTest::addColumn<QByteArray>("before"); // heard before the command; empty: none
    QTest::addColumn<Button_t>("button");
    QTest::addColumn<qint32>("value");
    QTest::addColumn<Effect_t>("effect");
    QTest::addColumn<qint32>("expected");
    QTest::addColumn<QByteArray>("report");
    QTest::addColumn<qint64>("reportAfterMs"); // -1: none
    QTest::addColumn<qint64>("wallStepMs");    // the wall clock set on by this, not the monotonic
    QTest::addColumn<qint64>("settledAfterMs");
    QTest::addColumn<qint32>("answerMs");

    const QByteArray level0 = hex("00 30 01 01 00 00");
    const QByteArray level40 = hex("00 30 01 01 A8 00");
    const auto dimmer = [&](const char *name, const QByteArray &report, qint64 reportAfterMs,
                            qint64 settledAfterMs, qint32 answerMs, qint64 wallStepMs = 0) {
        QTest::newRow(name) << _NodeType::_Dimmer << level0 << Button_t::Level << 40
                            << Effect_t::LevelIs << 40 << report << reportAfterMs << wallStepMs
                            << settledAfterMs << answerMs;
    };
    dimmer("report after 1.5 s", level40, 1500, 5000, 1500);
    dimmer("report after 2 s", level40, 2000, 5000, 2000);
    dimmer("report after 2.001 s", level40, 2001, 5000, NodeHistory_t::NoAnswer);
    dimmer("no report, 2.001 s on", level40, -1, 2001, NodeHistory_t::NoAnswer);
    dimmer("no report, 2 s on", level40, -1, 2000, NodeHistory_t::Waiting);
    dimmer("report in the same ms", level40, 0, 1000, 0);
    dimmer("dimmer, another level", hex("00 30 01 01 B2 00"), 300, 2001, NodeHistory_t::NoAnswer);
    dimmer("wall clock set back an hour", level40, 300, 1000, 300, -3600000);

    // The report a new panel is made for, recorded after the panel's first
    // command; the plug's state is not known yet.
    QTest::newRow("the first report")
        << _NodeType::_Plug << QByteArray() << Button_t::Switch << 0 << Effect_t::AnyReport << 0
        << PlugOn << qint64(0) << qint64(0) << qint64(1000) << NodeHistory_t::Waiting;
    // The toggling plug is answered by the other state only.
    QTest::newRow("plug, an unasked report in the old state")
        << _NodeType::_Plug << PlugOn << Button_t::Switch << 0 << Effect_t::StateChanged << 1
        << PlugOn << qint64(1000) << qint64(0) << qint64(2001) << NodeHistory_t::NoAnswer;
    QTest::newRow("plug, the other state")
        << _NodeType::_Plug << PlugOn << Button_t::Switch << 0 << Effect_t::StateChanged << 1
        << PlugOff << qint64(300) << qint64(0) << qint64(5000) << 300;

    const QByteArray adOff = hex("00 20 01 09 00 E8030000 D0070000 00");
    const QByteArray adOn = hex("00 20 01 09 01 E8030000 D0070000 00");
    QTest::newRow("AD plug, not the state named")
        << _NodeType::_ADPlug << adOff << Button_t::Switch << 1 << Effect_t::StateIs << 1 << adOff
        << qint64(300) << qint64(0) << qint64(1000) << NodeHistory_t::Waiting;
    QTest::newRow("AD plug, the state named")
        << _NodeType::_ADPlug << adOff << Button_t::Switch << 1 << Effect_t::StateIs << 1 << adOn
        << qint64(300) << qint64(0) << qint64(5000) << 300;

    QTest::newRow("blinds, the direction sent")
        << _NodeType::_Blinds << hex("00 21 01 00") << Button_t::Down << 1 << Effect_t::StateIs << 1
        << hex("00 21 01 01") << qint64(300) << qint64(0) << qint64(5000) << 300;
    QTest::newRow("blinds, still off")
        << _NodeType::_Blinds << hex("00 21 01 00") << Button_t::Up << 3 << Effect_t::StateIs << 3
        << hex("00 21 01 00") << qint64(300) << qint64(0) << qint64(2001)
        << NodeHistory_t::NoAnswer;

    const QByteArray sensor = hex("00 11 01 08 D7000000 10270000 00");
    QTest::newRow("poll, any report")
        << _NodeType::_Bright << sensor << Button_t::Poll << 0 << Effect_t::AnyReport << 0 << sensor
        << qint64(300) << qint64(0) << qint64(5000) << 300;
    QTest::newRow("configure, any report")
        << _NodeType::_Bright << sensor << Button_t::Configure << 0 << Effect_t::AnyReport << 0
        << sensor << qint64(300) << qint64(0) << qint64(5000) << 300;
}

void TestNodeHistory::answers() {
    QFETCH(_NodeType, type);
    QFETCH(QByteArray, before);
    QFETCH(Button_t, button);
    QFETCH(qint32, value);
    QFETCH(QByteArray, report);
    QFETCH(qint64, reportAfterMs);
    QFETCH(qint64, wallStepMs);
    QFETCH(qint64, settledAfterMs);

    NodeHistory_t history(type);
    if (!before.isEmpty())
        history._Report(at(-5000), before);
    history._Command(at(0), {button, value, {30, 10, 2, 500}});
    if (reportAfterMs >= 0)
        history._Report({Start + reportAfterMs + wallStepMs, Monotonic + reportAfterMs}, report);
    history._Settle({Start + settledAfterMs + wallStepMs, Monotonic + settledAfterMs});

    QCOMPARE(history._Commands().size(), 1);
    const NodeHistory_t::Command_t command = history._Commands().at(0);
    QCOMPARE(qint64(command.sentMs), Start);
    QCOMPARE(command.sentMonotonicMs, Monotonic);
    QCOMPARE(Button_t(command.button), button);
    QTEST(Effect_t(command.effect), "effect");
    QTEST(command.expected, "expected");
    QTEST(command.answerMs, "answerMs");

    // A Configure keeps the values it sent.
    QCOMPARE(history._Configurations().size(), button == Button_t::Configure ? 1 : 0);
    if (button == Button_t::Configure) {
        const NodeHistory_t::Configuration_t sent = history._Configurations().at(0);
        QCOMPARE(sent.sentMs, Start);
        QCOMPARE(QList<qint32>(std::begin(sent.values), std::end(sent.values)),
                 QList<qint32>({30, 10, 2, 500}));
    }
}

QTEST_GUILESS_MAIN(TestNodeHistory)
#include "tst_nodehistory.moc"
