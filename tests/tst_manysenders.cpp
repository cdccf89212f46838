// SPDX-License-Identifier: GPL-3.0-or-later
// Hostile traffic on the real receive socket: 5,000 new senders, each with a
// valid report, must get 5,000 panels, one each; how much memory they take is
// measured and reported.

#include "app/MainWindow.h"
#include "panels/ItemView.h"
#include "protocol/NodeMap.h"

#include "FreeSender.h"
#include "TestSupport.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QTest>

#include <memory>
#include <vector>

using namespace TestSupport;

namespace {

constexpr int SenderCount = 5000;
// Small enough that a batch always fits in the socket's receive queue.
constexpr int Batch = 50;

struct Kind {
    const char *bytes; // bytes 1..2
    const char *panelClass;
};
const Kind Kinds[] = {{"10 01", "PlugView_t"},   {"11 01", "BrightView_t"},
                      {"12 01", "BrightView_t"}, {"20 01", "ADPlugView_t"},
                      {"21 01", "BlindsView_t"}, {"30 01", "DimmerView_t"}};

QHostAddress senderAddress(int i) {
    return QHostAddress(QStringLiteral("fd00::1:%1").arg(i, 0, 16));
}

// A report every panel class reads: N = 0, then the name "node<i>".
QByteArray report(int i) {
    const QByteArray name = "node" + QByteArray::number(i);
    return hex("00") + hex(Kinds[i % 6].bytes) + hex("00") + char(name.size()) + name;
}

// As QTest::qWaitFor, without its 10 ms sleep between passes: the window
// reads one datagram a pass.
template <typename Predicate> bool runEventsUntil(Predicate done, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    return done();
}

qint64 residentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

} // namespace

class TestManySenders : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void fiveThousandNewSenders();

private:
    MainWindow_t *window = nullptr;
};

void TestManySenders::initTestCase() {
    if (!inPrivateNetwork())
        QSKIP("sends from made-up addresses only inside isolated.sh's private namespace");
    // Shown only once the panels are there: a shown column lays out every
    // panel again for each one added, which makes this test quadratic.
    window = new MainWindow_t;
}

void TestManySenders::cleanupTestCase() {
    delete window;
}

void TestManySenders::fiveThousandNewSenders() {
    QVERIFY(NodeMap.isEmpty());
    const qint64 before = residentKiB();
    QElapsedTimer clock;
    clock.start();

    for (int first = 0; first < SenderCount; first += Batch) {
        const int end = qMin(first + Batch, SenderCount);
        for (int i = first; i < end; ++i) {
            FreeSender sender(senderAddress(i));
            QVERIFY2(sender.isBound() && sender.send(report(i)), qPrintable(QString::number(i)));
        }
        QVERIFY2(
            runEventsUntil([end] { return NodeMap.size() >= end; }, 10000),
            qPrintable(QStringLiteral("%1 panels after %2 senders").arg(NodeMap.size()).arg(end)));
    }
    const qint64 routed = clock.elapsed();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QTest::qWait(100); // laid out and painted
    const qint64 after = residentKiB();
    qInfo("%d panels routed in %lld ms, shown in %lld ms more; resident memory %lld KiB "
          "before, %lld KiB after: %lld KiB more, %lld bytes a panel",
          SenderCount, routed, clock.elapsed() - routed, before, after, after - before,
          (after - before) * 1024 / SenderCount);

    QCOMPARE(NodeMap.size(), SenderCount);
    QSet<ItemView_t *> panels;
    for (int i = 0; i < SenderCount; ++i) {
        ItemView_t *panel = NodeMap.value(_NodeKey(senderAddress(i)));
        QVERIFY2(panel, qPrintable(senderAddress(i).toString()));
        QCOMPARE(panel->metaObject()->className(), Kinds[i % 6].panelClass);
        QVERIFY(window->isAncestorOf(panel));
        if (i % 6 != 4) // the blinds panel shows no name
            QCOMPARE(cellText(panel, 1, 1), QStringLiteral("node%1").arg(i));
        panels.insert(panel);
    }
    QCOMPARE(panels.size(), SenderCount); // none twice
    // A panel of this size is a few dozen widgets; far more means a leak.
    QVERIFY2(after - before < 2048 * 1024, "more than 2 GiB for 5,000 panels");
}

QTEST_MAIN(TestManySenders)
#include "tst_manysenders.moc"
