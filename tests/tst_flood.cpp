// SPDX-License-Identifier: GPL-3.0-or-later
// Hostile traffic on the real receive socket: a flood of random datagrams
// from a known node and from loopback, after which the program must still
// route a valid report to that node's panel and show it.

#include "app/MainWindow.h"
#include "panels/ItemView.h"
#include "protocol/NodeMap.h"

#include "FreeSender.h"
#include "TestSupport.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTest>

#include <vector>

using namespace TestSupport;

namespace {

const QHostAddress KnownNode(QStringLiteral("fd00::5"));
constexpr int FloodSize = 200000;
constexpr int MaxFloodLength = 1500;
constexpr quint32 Seed = 20240611;

} // namespace

class TestFlood : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void randomFloodThenValidReport();

private:
    MainWindow_t *window = nullptr;
};

void TestFlood::initTestCase() {
    if (!inPrivateNetwork())
        QSKIP("sends from made-up addresses only inside isolated.sh's private namespace");
    window = new MainWindow_t;
    window->show();
}

void TestFlood::cleanupTestCase() {
    delete window;
}

void TestFlood::randomFloodThenValidReport() {
    FreeSender known(KnownNode);
    FreeSender loopback(QHostAddress::LocalHostIPv6);
    QVERIFY(known.isBound() && loopback.isBound());

    QVERIFY(known.send(hex("00 10 01 08 39300000 D2040000 05") + "First"));
    QVERIFY(QTest::qWaitFor([] { return NodeMap.contains(_NodeKey(KnownNode)); }, 5000));
    ItemView_t *plug = NodeMap.value(_NodeKey(KnownNode));
    QCOMPARE(cellText(plug, 1, 1), QStringLiteral("First"));

    // Random lengths and bytes, half from each sender, faster than the
    // program reads: the kernel drops what does not fit in the queue.
    QRandomGenerator random(Seed);
    std::vector<quint32> words((MaxFloodLength + 3) / 4);
    qint64 taken = 0;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < FloodSize; ++i) {
        random.fillRange(words.data(), qsizetype(words.size()));
        const QByteArray datagram(reinterpret_cast<const char *>(words.data()),
                                  random.bounded(MaxFloodLength + 1));
        taken += (random.bounded(2) ? known : loopback).send(datagram) ? 1 : 0;
        if (i % 200 == 199)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    qInfo("flood: %d datagrams sent, %lld taken by the kernel, in %lld ms", FloodSize, taken,
          clock.elapsed());

    // Until the program has read what is still queued, a report can be lost
    // to a full queue: send it again until it shows.
    const QByteArray last = hex("00 10 01 08 92100000 C4090000 05") + "Final";
    QDeadlineTimer deadline(30000);
    bool shown = false;
    while (!shown && !deadline.hasExpired()) {
        known.send(last);
        shown = QTest::qWaitFor([plug] { return cellText(plug, 1, 1) == "Final"; }, 200);
    }
    qInfo("valid report shown %lld ms after the flood began", clock.elapsed());
    QVERIFY2(shown, "the known node's valid report never reached its panel");

    QCOMPARE(NodeMap.value(_NodeKey(KnownNode)), plug); // the same panel, never replaced
    QCOMPARE(cellText(plug, 1, 3), QStringLiteral("42.42 W"));
    QCOMPARE(cellText(plug, 1, 2), QStringLiteral("25 W"));
    QCOMPARE(titleColour(plug), QColor(Qt::yellow));
    for (const NodeKey_t &key : NodeMap.keys())
        QVERIFY(key == _NodeKey(KnownNode) || key == _NodeKey(QHostAddress::LocalHostIPv6));
    QVERIFY(window->isVisible());
}

QTEST_MAIN(TestFlood)
#include "tst_flood.moc"
