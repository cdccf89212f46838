// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/Liveness.h"

#include <QTest>

class TestLiveness : public QObject {
    Q_OBJECT

private slots:
    void probeExpired_data();
    void probeExpired();
    void laterProbeWhileMarked();
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
        QVERIFY(!liveness._Heard(heardMs));
    QCOMPARE(liveness._ProbeExpired(probeMs), marked);
    QCOMPARE(liveness._NotAnswering(), marked);
    QCOMPARE(liveness._UnansweredProbeMs(), marked ? probeMs : 0);
    QCOMPARE(liveness._LastHeardMs(), heardMs);

    // The next datagram clears the mark, and says so only when there was one.
    const qint64 nextMs = probeMs + Ternix36::ProbeAnswerMs + 1;
    QCOMPARE(liveness._Heard(nextMs), marked);
    QVERIFY(!liveness._NotAnswering());
    QCOMPARE(liveness._UnansweredProbeMs(), 0);
    QCOMPARE(liveness._LastHeardMs(), nextMs);
}

void TestLiveness::laterProbeWhileMarked() {
    Liveness_t liveness;
    QVERIFY(liveness._ProbeExpired(1000));
    QVERIFY(!liveness._ProbeExpired(9000)); // already marked
    QCOMPARE(liveness._UnansweredProbeMs(), 9000);
    QVERIFY(!liveness._ProbeExpired(4000)); // a late window does not name an older probe
    QCOMPARE(liveness._UnansweredProbeMs(), 9000);
}

QTEST_GUILESS_MAIN(TestLiveness)
#include "tst_liveness.moc"
