// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/LivenessText.h"
#include "protocol/Clock.h"
#include "protocol/Liveness.h"
#include "protocol/ProbeWindows.h"

#include <QDateTime>
#include <QScopeGuard>
#include <QTest>

namespace {
// Local times, as the texts show them.
qint64 at(int day, const char *time) {
    return QDateTime(QDate(2026, 3, day), QTime::fromString(QLatin1String(time), "HH:mm:ss"))
        .toMSecsSinceEpoch();
}

// A moment whose wall clock reads far from its monotonic one, as they do.
constexpr qint64 WallOffsetMs = 1772600000000;
Moment_t moment(qint64 monotonicMs) {
    return {WallOffsetMs + monotonicMs, monotonicMs};
}

// The clocks the probe windows read, set by the test alone.
qint64 testWallMs = 0;
qint64 testMonotonicMs = 0;
qint64 testWallClock() {
    return testWallMs;
}
qint64 testMonotonicClock() {
    return testMonotonicMs;
}
void pass(qint64 ms) {
    testWallMs += ms;
    testMonotonicMs += ms;
}
} // namespace

class TestLiveness : public QObject {
    Q_OBJECT

private slots:
    void probeExpired_data();
    void probeExpired();
    void laterProbeWhileMarked();
    void wallClockStep_data();
    void wallClockStep();
    void text_data();
    void text();
};

void TestLiveness::probeExpired_data() {
    QTest::addColumn<qint64>("heardMs"); // 0: never heard
    QTest::addColumn<qint64>("probeMs");
    QTest::addColumn<bool>("marked");

    QTest::newRow("never heard") << qint64(0) << qint64(1000) << true;
    QTest::newRow("heard before the probe") << qint64(999) << qint64(1000) << true;
    QTest::newRow("heard in the probe's millisecond") << qint64(1000) << qint64(1000) << false;
    QTest::newRow("answered") << qint64(1200) << qint64(1000) << false;
}

void TestLiveness::probeExpired() {
    QFETCH(qint64, heardMs);
    QFETCH(qint64, probeMs);
    QFETCH(bool, marked);

    Liveness_t liveness;
    if (heardMs != 0)
        QVERIFY(!liveness._Heard(moment(heardMs)));
    QCOMPARE(liveness._ProbeExpired(moment(probeMs)), marked);
    QCOMPARE(liveness._NotAnswering(), marked);
    // The times shown are the wall clock's.
    QCOMPARE(liveness._UnansweredProbeMs(), marked ? WallOffsetMs + probeMs : 0);
    QCOMPARE(liveness._LastHeardMs(), heardMs != 0 ? WallOffsetMs + heardMs : 0);

    // The next datagram clears the mark, and says so only when there was one.
    const qint64 nextMs = probeMs + Ternix36::ProbeAnswerMs + 1;
    QCOMPARE(liveness._Heard(moment(nextMs)), marked);
    QVERIFY(!liveness._NotAnswering());
    QCOMPARE(liveness._UnansweredProbeMs(), 0);
    QCOMPARE(liveness._LastHeardMs(), WallOffsetMs + nextMs);
}

void TestLiveness::laterProbeWhileMarked() {
    Liveness_t liveness;
    QVERIFY(liveness._ProbeExpired(moment(1000)));
    QVERIFY(!liveness._ProbeExpired(moment(9000))); // already marked
    QCOMPARE(liveness._UnansweredProbeMs(), WallOffsetMs + 9000);
    // A late window does not name an older probe.
    QVERIFY(!liveness._ProbeExpired(moment(4000)));
    QCOMPARE(liveness._UnansweredProbeMs(), WallOffsetMs + 9000);
}

// NTP or a user steps the wall clock while the node is silent: whether it
// answered the probe is still told right.
void TestLiveness::wallClockStep_data() {
    QTest::addColumn<qint64>("beforeProbeMs"); // the step between its last datagram and the probe
    QTest::addColumn<qint64>("afterProbeMs");  // the step between the probe and its answer
    QTest::addColumn<bool>("answers");

    const qint64 hour = 3600000;
    QTest::newRow("back an hour between the probe and the answer") << qint64(0) << -hour << true;
    QTest::newRow("forward an hour between the probe and the answer") << qint64(0) << hour << true;
    QTest::newRow("back an hour between the last datagram and the probe")
        << -hour << qint64(0) << false;
}

void TestLiveness::wallClockStep() {
    QFETCH(qint64, beforeProbeMs);
    QFETCH(qint64, afterProbeMs);
    QFETCH(bool, answers);
    const auto realClocks = qScopeGuard([wall = pClockMs, monotonic = pMonotonicMs] {
        pClockMs = wall;
        pMonotonicMs = monotonic;
    });
    pClockMs = &testWallClock;
    pMonotonicMs = &testMonotonicClock;
    testWallMs = at(4, "10:20:00");
    testMonotonicMs = 7000000;

    Liveness_t liveness;
    ProbeWindows_t windows;
    connect(&windows, &ProbeWindows_t::closed, this,
            [&liveness](const Moment_t &probe) { liveness._ProbeExpired(probe); });
    liveness._Heard(_Now());
    pass(30000);
    testWallMs += beforeProbeMs;
    windows._Open(QStringLiteral("lv0"));
    pass(1000);
    testWallMs += afterProbeMs;
    if (answers)
        liveness._Heard(_Now());
    windows._CloseOldest();
    QCOMPARE(liveness._NotAnswering(), !answers);
}

void TestLiveness::text_data() {
    QTest::addColumn<qint64>("heardMs"); // 0: never heard
    QTest::addColumn<qint64>("probeMs"); // 0: no probe left unanswered
    QTest::addColumn<qint64>("nowMs");
    QTest::addColumn<qint64>("wallStepMs"); // how far the wall clock was stepped since
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<QString>("description");

    const qint64 heard = at(4, "10:20:30");
    const qint64 noStep = 0;
    QTest::newRow("seconds") << heard << qint64(0) << heard + 12999 << noStep
                             << "Last heard at 10:20:30 (12 s ago)"
                             << "Last heard at 10:20:30";
    QTest::newRow("just now") << heard << qint64(0) << heard << noStep
                              << "Last heard at 10:20:30 (0 s ago)"
                              << "Last heard at 10:20:30";
    QTest::newRow("wall clock set back an hour")
        << heard << qint64(0) << heard + 12999 << qint64(-3600000)
        << "Last heard at 10:20:30 (12 s ago)"
        << "Last heard at 10:20:30";
    QTest::newRow("a minute") << heard << qint64(0) << at(4, "10:21:30") << noStep
                              << "Last heard at 10:20:30 (1 min ago)"
                              << "Last heard at 10:20:30";
    QTest::newRow("minutes") << heard << qint64(0) << at(4, "10:32:29") << noStep
                             << "Last heard at 10:20:30 (11 min ago)"
                             << "Last heard at 10:20:30";
    QTest::newRow("hours") << heard << qint64(0) << at(4, "13:20:29") << noStep
                           << "Last heard at 10:20:30 (2 h ago)"
                           << "Last heard at 10:20:30";
    QTest::newRow("yesterday") << at(3, "23:59:10") << qint64(0) << at(4, "00:11:20") << noStep
                               << "Last heard at 2026-03-03 23:59:10 (12 min ago)"
                               << "Last heard at 2026-03-03 23:59:10";
    QTest::newRow("days ago") << at(1, "08:00:00") << qint64(0) << at(4, "08:00:00") << noStep
                              << "Last heard at 2026-03-01 08:00:00 (72 h ago)"
                              << "Last heard at 2026-03-01 08:00:00";
    QTest::newRow("not answering")
        << heard << at(4, "10:21:00") << at(4, "10:21:05") << noStep
        << "No answer to the probe at 10:21:00. Last heard at 10:20:30 (35 s ago)"
        << "No answer to the probe at 10:21:00. Last heard at 10:20:30";
    QTest::newRow("probe of yesterday")
        << at(3, "22:00:00") << at(3, "23:00:00") << at(4, "01:00:00") << noStep
        << "No answer to the probe at 2026-03-03 23:00:00. Last heard at 2026-03-03 22:00:00 (3 h "
           "ago)"
        << "No answer to the probe at 2026-03-03 23:00:00. Last heard at 2026-03-03 22:00:00";
    QTest::newRow("never heard") << qint64(0) << qint64(0) << heard << noStep << QString()
                                 << QString();
    QTest::newRow("never heard, not answering")
        << qint64(0) << at(4, "10:21:00") << at(4, "10:21:05") << noStep
        << "No answer to the probe at 10:21:00."
        << "No answer to the probe at 10:21:00.";
}

void TestLiveness::text() {
    QFETCH(qint64, heardMs);
    QFETCH(qint64, probeMs);
    QFETCH(qint64, nowMs);
    QFETCH(qint64, wallStepMs);

    // The monotonic clock reads as the wall clock did before any step.
    Liveness_t liveness;
    if (heardMs != 0)
        liveness._Heard({heardMs, heardMs});
    if (probeMs != 0)
        QVERIFY(liveness._ProbeExpired({probeMs, probeMs}));
    const Moment_t now{nowMs + wallStepMs, nowMs};
    QTEST(_LivenessText(liveness, now, LivenessTextForm_t::ToolTip), "toolTip");
    QTEST(_LivenessText(liveness, now, LivenessTextForm_t::Description), "description");
}

QTEST_GUILESS_MAIN(TestLiveness)
#include "tst_liveness.moc"
