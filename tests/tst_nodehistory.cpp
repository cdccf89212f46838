// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/NodeHistory.h"

#include "TestSupport.h"

#include <QTest>

using namespace TestSupport;
using Ternix36::_NodeType;

Q_DECLARE_METATYPE(_NodeType)

namespace {
// A whole ten minutes since the epoch, as the thinned tiers count them.
constexpr qint64 Start = 1800000000000;
} // namespace

class TestNodeHistory : public QObject {
    Q_OBJECT

private slots:
    void recordedReadings_data();
    void recordedReadings();
    void thinning_data();
    void thinning();
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
    history._Report(Start, datagram);
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
    QTest::addColumn<int>("full");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<int>("tenMinutes");

    // Every report of the last 10 minutes, a bucket a minute back to an hour,
    // then one per 10 minutes back to the first report a day ago.
    QTest::newRow("every 5 s for a day") << qint64(5000) << qint64(86400000) << 120 << 51 << 138;
    QTest::newRow("every second for 20 min") << qint64(1000) << qint64(1200000) << 600 << 11 << 0;
    // Faster than the full tier holds: its last 600 reports, the rest thinned.
    QTest::newRow("every 0.5 s for 11 min") << qint64(500) << qint64(660000) << 600 << 7 << 0;
}

void TestNodeHistory::thinning() {
    QFETCH(qint64, intervalMs);
    QFETCH(qint64, durationMs);

    NodeHistory_t history(_NodeType::_Plug);
    QByteArray report = hex("00 10 01 08 00000000 00000000 00");
    // Real power 0, 1, ... 11 W in turn: twelve reports make each minute of the first row.
    for (qint64 k = 0; k * intervalMs <= durationMs; ++k) {
        const qint32 hundredths = qint32(k % 12) * 100;
        memcpy(report.data() + 4, &hundredths, sizeof hundredths);
        history._Report(Start + k * intervalMs, report);
    }
    QTEST(int(history._Full().size()), "full");
    QTEST(int(history._Minutes().size()), "minutes");
    QTEST(int(history._TenMinutes().size()), "tenMinutes");
    QVERIFY2(history._HeapBytes() <= 12 * 1024, qPrintable(QString::number(history._HeapBytes())));

    // Oldest first in every tier, and the first report is still there.
    const qint64 oldest = history._TenMinutes().isEmpty()
                              ? history._Minutes().first()._StartMs()
                              : history._TenMinutes().first()._StartMs();
    QCOMPARE(oldest, Start);
    if (intervalMs == 5000) {
        const NodeHistory_t::Bucket_t first = history._TenMinutes().first();
        QCOMPARE(first.minA, 0);
        QCOMPARE(first.maxA, 1100);
        QCOMPARE(first.lastA, 1100);
        QCOMPARE(int(first.lastState), 1);
        QCOMPARE(qint64(history._Full().first().ms), Start + 86400000 - 595000);
    }
}

void TestNodeHistory::answers_data() {
    QTest::addColumn<bool>("heardBefore");     // a report came before the command
    QTest::addColumn<qint64>("reportAfterMs"); // -1: none
    QTest::addColumn<qint64>("settledAfterMs");
    QTest::addColumn<qint32>("answerMs");

    QTest::newRow("report after 1.5 s") << true << qint64(1500) << qint64(5000) << 1500;
    QTest::newRow("report after 2 s") << true << qint64(2000) << qint64(5000) << 2000;
    QTest::newRow("report after 2.001 s")
        << true << qint64(2001) << qint64(5000) << NodeHistory_t::NoAnswer;
    QTest::newRow("no report, 2.001 s on")
        << true << qint64(-1) << qint64(2001) << NodeHistory_t::NoAnswer;
    QTest::newRow("no report, 2 s on")
        << true << qint64(-1) << qint64(2000) << NodeHistory_t::Waiting;
    QTest::newRow("report in the same ms") << true << qint64(0) << qint64(1000) << 0;
    // The report a new panel is made for, recorded after the panel's first command.
    QTest::newRow("the first report")
        << false << qint64(0) << qint64(1000) << NodeHistory_t::Waiting;
}

void TestNodeHistory::answers() {
    QFETCH(bool, heardBefore);
    QFETCH(qint64, reportAfterMs);
    QFETCH(qint64, settledAfterMs);

    NodeHistory_t history(_NodeType::_Dimmer);
    if (heardBefore)
        history._Report(Start - 5000, hex("00 30 01 01 00 00"));
    history._Command(Start, NodeHistory_t::Button_t::Level, 40);
    if (reportAfterMs >= 0)
        history._Report(Start + reportAfterMs, hex("00 30 01 01 A8 00"));
    history._Settle(Start + settledAfterMs);
    QCOMPARE(history._Commands().size(), 1);
    QTEST(history._Commands().at(0).answerMs, "answerMs");
    QCOMPARE(int(history._Commands().at(0).level), 40);
}

QTEST_GUILESS_MAIN(TestNodeHistory)
#include "tst_nodehistory.moc"
