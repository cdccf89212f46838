// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainWindow.h"
#include "panels/DimmerView.h"

#include "TestSupport.h"

#include <QSlider>
#include <QTest>
#include <QTimer>

using namespace TestSupport;

namespace {

const QByteArray FullReport = hex("00 30 01 01 B2 04 4B697465");

QByteArray levelCommand(quint8 levelByte) {
    return hex("C0 30 01 01") + char(levelByte);
}

QSlider *slider(QWidget *panel) {
    return qobject_cast<QSlider *>(cell(panel, 1, 2));
}

} // namespace

class TestDimmerView : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void report_data();
    void report();
    void cutReports_data();
    void cutReports();
    void frame();
    void sendsLevelZeroOnceBuilt();
    void rateLimit_data();
    void rateLimit();

private:
    MainWindow_t *window = nullptr;
};

void TestDimmerView::initTestCase() {
    window = new MainWindow_t; // the panels take their scope from it
}

void TestDimmerView::cleanupTestCase() {
    delete window;
}

void TestDimmerView::report_data() {
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("level");
    QTest::addColumn<QString>("name");

    QTest::newRow("0x32") << hex("00 30 01 01 32 04 4B697465") << "50 %"
                          << "Kite";
    QTest::newRow("0xB2: bit 7 not shown") << FullReport << "50 %"
                                           << "Kite";
    QTest::newRow("0xFF") << hex("00 30 01 01 FF 00") << "127 %"
                          << "";
    QTest::newRow("0x00") << hex("00 30 01 01 00 00") << "0 %"
                          << "";
    QTest::newRow("0x80") << hex("00 30 01 01 80 00") << "0 %"
                          << "";
    QTest::newRow("name length 0x80 takes the rest")
        << hex("00 30 01 01 64 80 4B697465 21") << "100 %"
        << "Kite!";
    // N = 0: byte 4 is the level and the name length at once.
    QTest::newRow("N 0") << hex("00 30 01 00 02 4B69") << "2 %"
                         << "Ki";
    // Cut short: a missing level reads as 0, a missing name as empty.
    QTest::newRow("header only") << hex("C0 30 01") << "0 %"
                                 << "";
    QTest::newRow("no level") << hex("C0 30 01 01") << "0 %"
                              << "";
    QTest::newRow("cut before the name length") << hex("00 30 01 01 32") << "50 %"
                                                << "";
    QTest::newRow("N 0x80") << hex("00 30 01 80 32 04 4B697465") << "50 %"
                            << "";
    QTest::newRow("N 127 past the end") << hex("00 30 01 7F 32 04 4B697465") << "50 %"
                                        << "";
}

void TestDimmerView::report() {
    QFETCH(QByteArray, datagram);

    DimmerView_t fresh(QHostAddress("fe80::40"), datagram);
    DimmerView_t reused(QHostAddress("fe80::41"), hex("00 30 01 01 0A 03 4F6C64"));
    slider(&reused)->setValue(30); // starts the timer
    reused._DataRead(datagram);

    const QColor untouched = fresh.palette().color(QPalette::Window);
    for (DimmerView_t *panel : {&fresh, &reused}) {
        QTEST(cellText(panel, 4, 2), "level");
        QTEST(cellText(panel, 1, 1), "name");
        QCOMPARE(titleColour(panel), untouched); // no title palette, ever
    }
    // A report moves neither the slider nor the timer.
    QCOMPARE(slider(&fresh)->value(), 0);
    QVERIFY(!fresh.findChild<QTimer *>()->isActive());
    QCOMPARE(slider(&reused)->value(), 30);
    QVERIFY(reused.findChild<QTimer *>()->isActive());
}

void TestDimmerView::cutReports_data() {
    QTest::addColumn<QByteArray>("datagram");

    QTest::newRow("full report") << FullReport;
    QTest::newRow("N 0") << hex("00 30 01 00 04 4B697465");
    QTest::newRow("N 0x80") << hex("00 30 01 80 32 04 4B697465");
    QTest::newRow("N 0xFF") << hex("00 30 01 FF 32 4B697465");
    QTest::newRow("N 127") << hex("00 30 01 7F 32 04 4B697465");
    QTest::newRow("name length beyond the end") << hex("00 30 01 01 32 7F 4B");
    QTest::newRow("name length 0x80") << hex("00 30 01 01 32 80 4B69");
}

void TestDimmerView::cutReports() {
    QFETCH(QByteArray, datagram);
    checkCutReports<DimmerView_t>(hex("00 30 01 01 0A 03 4F6C64"), datagram);
}

void TestDimmerView::frame() {
    DimmerView_t panel(QHostAddress("FE80::AB:CD"), FullReport);
    QCOMPARE(panel.metaObject()->className(), "DimmerView_t");
    QCOMPARE(panel.metaObject()->superClass(), &QFrame::staticMetaObject);
    QCOMPARE(ownSlots(&panel),
             QStringList({"private _Poll(int)", "private _Poll()", "private _Timeout()"}));
    QCOMPARE(panel.minimumHeight(), 115);
    QCOMPARE(panel.maximumHeight(), 115);
    QCOMPARE(title(&panel)->text(), QStringLiteral("TERNIX36 Dimmer"));
    QCOMPARE(placement(&panel, title(&panel)), QList<int>({0, 0, 1, 8}));
    QCOMPARE(cellText(&panel, 4, 1), scoped("fe80::ab:cd"));
    QCOMPARE(placement(&panel, cell(&panel, 4, 1)), QList<int>({4, 1, 1, 1}));
    QCOMPARE(placement(&panel, cell(&panel, 1, 1)), QList<int>({1, 1, 2, 1}));

    QSlider *levels = slider(&panel);
    QVERIFY(levels);
    QCOMPARE(placement(&panel, levels), QList<int>({1, 2, 2, 1}));
    QCOMPARE(levels->orientation(), Qt::Horizontal);
    QCOMPARE(levels->minimum(), 0);
    QCOMPARE(levels->maximum(), 100);
    QCOMPARE(levels->value(), 0);
    QVERIFY(levels->hasTracking());

    auto *level = qobject_cast<QLabel *>(cell(&panel, 4, 2));
    QCOMPARE(placement(&panel, level), QList<int>({4, 2, 1, 1}));
    QCOMPARE(level->alignment(), Qt::AlignHCenter | Qt::AlignVCenter);
    // No value font here.
    const QFont plain = QLabel().font();
    QCOMPARE(level->font(), plain);
    QCOMPARE(title(&panel)->font(), plain);

    const QList<QTimer *> timers = panel.findChildren<QTimer *>(Qt::FindDirectChildrenOnly);
    QCOMPARE(timers.size(), 1);
    QCOMPARE(timers.first()->interval(), 200);
    QVERIFY(!timers.first()->isSingleShot());
    QVERIFY(!timers.first()->isActive());
}

void TestDimmerView::sendsLevelZeroOnceBuilt() {
    Catcher node(QHostAddress::LocalHostIPv6, 4444);
    Catcher otherPort(QHostAddress::LocalHostIPv6, 40000);
    QVERIFY(node.isBound());
    QVERIFY(otherPort.isBound());

    // The first report is on the panel by the time level 0 has gone out.
    DimmerView_t panel(QHostAddress::LocalHostIPv6, FullReport);
    QCOMPARE(node.waitQuietlyFor(1), QList<QByteArray>({levelCommand(0x80)}));
    QCOMPARE(cellText(&panel, 4, 2), QStringLiteral("50 %"));
    QCOMPARE(cellText(&panel, 1, 1), QStringLiteral("Kite"));
    QVERIFY(!panel.findChild<QTimer *>()->isActive());
    QCOMPARE(node.waitQuietlyFor(2, 100).size(), 1);
    QCOMPARE(otherPort.settle(0).size(), 0);
}

void TestDimmerView::rateLimit_data() {
    // Steps: "move N" sets the slider, "tick" is one timer tick, "poll" calls
    // _Poll(), "report B" hands over a report with level byte B.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QByteArray>("levelBytes"); // sent after the construction's 0x80
    QTest::addColumn<bool>("running");

    QTest::newRow("first move goes at once") << QStringList{"move 1"} << hex("81") << true;
    QTest::newRow("a tick with no change stops")
        << QStringList{"move 1", "tick"} << hex("81") << false;
    QTest::newRow("moves while running wait")
        << QStringList{"move 1", "move 5", "move 7"} << hex("81") << true;
    QTest::newRow("a tick sends the position")
        << QStringList{"move 1", "move 5", "move 7", "tick"} << hex("81 87") << true;
    QTest::newRow("the tick after the last move stops")
        << QStringList{"move 1", "move 7", "tick", "tick"} << hex("81 87") << false;
    QTest::newRow("one command per tick")
        << QStringList{"move 1", "move 2", "tick", "move 3", "move 4", "tick", "tick"}
        << hex("81 82 84") << false;
    QTest::newRow("to 100") << QStringList{"move 100"} << hex("E4") << true;
    QTest::newRow("back to the last sent level before the tick")
        << QStringList{"move 10", "move 20", "move 10", "tick"} << hex("8A") << false;
    QTest::newRow("after a stop the next move goes at once")
        << QStringList{"move 3", "tick", "move 4"} << hex("83 84") << true;
    QTest::newRow("reports never move the slider")
        << QStringList{"move 30", "report D0", "tick", "move 31"} << hex("9E 9F") << true;
    QTest::newRow("a report while stopped changes nothing")
        << QStringList{"move 30", "tick", "report 05", "tick"} << hex("9E") << false;
    QTest::newRow("poll when stopped sends the position")
        << QStringList{"move 3", "tick", "poll"} << hex("83 83") << true;
    QTest::newRow("poll while running waits") << QStringList{"move 3", "poll"} << hex("83") << true;
}

void TestDimmerView::rateLimit() {
    QFETCH(QStringList, steps);
    QFETCH(QByteArray, levelBytes);
    QFETCH(bool, running);
    Catcher node(QHostAddress::LocalHostIPv6, 4444);
    QVERIFY(node.isBound());
    DimmerView_t panel(QHostAddress::LocalHostIPv6, FullReport);
    auto *timer = panel.findChild<QTimer *>();

    // Nothing here runs the event loop, so the timer only ticks when told to.
    int lastMove = 0;
    for (const QString &step : steps) {
        const QString argument = step.section(u' ', 1);
        if (step.startsWith(u"move ")) {
            lastMove = argument.toInt();
            slider(&panel)->setValue(lastMove);
        } else if (step == u"tick") {
            QVERIFY(QMetaObject::invokeMethod(&panel, "_Timeout"));
        } else if (step == u"poll") {
            QVERIFY(QMetaObject::invokeMethod(&panel, "_Poll"));
        } else if (step.startsWith(u"report ")) {
            panel._DataRead(hex("00 30 01 01") + QByteArray::fromHex(argument.toLatin1()) +
                            hex("00"));
        } else {
            QFAIL(qPrintable("unknown step " + step));
        }
    }

    QList<QByteArray> expected{levelCommand(0x80)};
    for (char levelByte : levelBytes)
        expected.append(levelCommand(quint8(levelByte)));
    QCOMPARE(node.waitQuietlyFor(int(expected.size())), expected);
    QCOMPARE(node.waitQuietlyFor(int(expected.size()) + 1, 100), expected);
    QCOMPARE(timer->isActive(), running);
    QCOMPARE(slider(&panel)->value(), lastMove);
}

QTEST_MAIN(TestDimmerView)
#include "tst_dimmerview.moc"
