// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainWindow.h"
#include "panels/ADPlugView.h"

#include "TestSupport.h"

#include <QPushButton>
#include <QTest>

using namespace TestSupport;

class TestADPlugView : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void report_data();
    void report();
    void tooShortForAHeaderKeepsTheState();
    void cutReports_data();
    void cutReports();
    void frame();
    void readingsAreNeverCut_data();
    void readingsAreNeverCut();
    void switchAsksForTheOppositeState_data();
    void switchAsksForTheOppositeState();

private:
    MainWindow_t *window = nullptr;
};

void TestADPlugView::initTestCase() {
    window = new MainWindow_t; // the panels take their scope from it
}

void TestADPlugView::cleanupTestCase() {
    delete window;
}

void TestADPlugView::report_data() {
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QColor>("title");
    QTest::addColumn<QString>("apparent");
    QTest::addColumn<QString>("real");
    QTest::addColumn<QString>("name");

    const QColor on(Qt::yellow);
    const QColor off(Qt::gray);
    QTest::newRow("full report, on")
        << hex("00 20 01 09 01 39300000 64000000 04 4B697465") << on << "1 W"
        << "123.45 W"
        << "Kite";
    QTest::newRow("readings while off")
        << hex("00 20 01 09 00 39300000 64000000 04 4B697465") << off << "1 W"
        << "123.45 W"
        << "Kite";
    QTest::newRow("state 0xFF is on") << hex("00 20 01 09 FF 00000000 00000000 00") << on << "0 W"
                                      << "0 W"
                                      << "";
    QTest::newRow("no real power, apparent still shown")
        << hex("00 20 01 09 01 00000000 39300000 00") << on << "123.45 W"
        << "0 W"
        << "";
    QTest::newRow("negative readings")
        << hex("00 20 01 09 01 06FFFFFF 06FFFFFF 00") << on << "-2.5 W"
        << "-2.5 W"
        << "";
    QTest::newRow("exponent") << hex("00 20 01 09 01 00E1F505 15CD5B07 00") << on << "1.23457e+06 W"
                              << "1e+06 W"
                              << "";
    // With N = 0 byte 4 is the state and the name length at once.
    QTest::newRow("N 0, byte 4 is 4: on, name from byte 5")
        << hex("00 20 01 00 04 4B697465 39300000") << on << "0 W"
        << "0 W"
        << "Kite";
    QTest::newRow("N 0, byte 4 is 0: off, empty name")
        << hex("00 20 01 00 00 4B697465") << off << "0 W"
        << "0 W"
        << "";
    QTest::newRow("name length 0x80 takes the rest")
        << hex("00 20 01 09 01 00000000 00000000 80 4B697465 21") << on << "0 W"
        << "0 W"
        << "Kite!";
    QTest::newRow("N counts, not its value")
        << hex("00 20 01 01 01 64000000 C8000000 00") << on << "2 W"
        << "1 W"
        << "";
    // Cut short: missing fields read as 0 (a missing state as off), the name as empty.
    QTest::newRow("header only") << hex("C0 20 01") << off << "0 W"
                                 << "0 W"
                                 << "";
    QTest::newRow("no state") << hex("C0 20 01 09") << off << "0 W"
                              << "0 W"
                              << "";
    QTest::newRow("cut inside the readings") << hex("00 20 01 09 01 39300000 6400") << on << "0 W"
                                             << "123.45 W"
                                             << "";
    QTest::newRow("cut before the name length")
        << hex("00 20 01 09 01 39300000 64000000") << on << "1 W"
        << "123.45 W"
        << "";
    QTest::newRow("N 0x80") << hex("00 20 01 80 01 39300000 64000000 04 4B697465") << on << "1 W"
                            << "123.45 W"
                            << "";
    QTest::newRow("N 127 past the end")
        << hex("00 20 01 7F 01 39300000 64000000 04 4B697465") << on << "1 W"
        << "123.45 W"
        << "";
}

void TestADPlugView::report() {
    QFETCH(QByteArray, datagram);

    // The first report is on the panel when it is built; a later one replaces it.
    ADPlugView_t fresh(QHostAddress("fe80::20"), datagram);
    ADPlugView_t reused(QHostAddress("fe80::21"),
                        hex("00 20 01 09 01 0A000000 0B000000 03 4F6C64"));
    reused._DataRead(datagram);

    for (ADPlugView_t *panel : {&fresh, &reused}) {
        QTEST(titleColour(panel), "title");
        QTEST(cellText(panel, 1, 2), "apparent");
        QTEST(cellText(panel, 1, 3), "real");
        QTEST(cellText(panel, 1, 1), "name");
    }
}

void TestADPlugView::tooShortForAHeaderKeepsTheState() {
    Catcher node(QHostAddress::LocalHostIPv6, 4444);
    QVERIFY(node.isBound());
    ADPlugView_t panel(QHostAddress::LocalHostIPv6, hex("00 20 01 00 01"));
    for (const QByteArray &junk : {QByteArray(), hex("00"), hex("00 20")})
        panel._DataRead(junk);

    // Still on, so the switch asks for off.
    QTest::mouseClick(qobject_cast<QPushButton *>(cell(&panel, 1, 4)), Qt::LeftButton);
    node.waitFor(1);
    QCOMPARE(node.payloads(), QList<QByteArray>({hex("C0 20 01 00")}));
}

void TestADPlugView::cutReports_data() {
    QTest::addColumn<QByteArray>("datagram");

    QTest::newRow("full report") << hex("00 20 01 09 01 39300000 64000000 04 4B697465");
    QTest::newRow("N 0") << hex("00 20 01 00 04 4B697465");
    QTest::newRow("N 0x80") << hex("00 20 01 80 01 39300000 64000000 04 4B697465");
    QTest::newRow("N 0xFF") << hex("00 20 01 FF 01 4B697465");
    QTest::newRow("N 127") << hex("00 20 01 7F 01 39300000 64000000 04 4B697465");
    QTest::newRow("name length beyond the end") << hex("00 20 01 09 01 39300000 64000000 7F 4B");
    QTest::newRow("name length 0x80") << hex("00 20 01 09 01 39300000 64000000 80 4B69");
}

void TestADPlugView::cutReports() {
    QFETCH(QByteArray, datagram);
    checkCutReports<ADPlugView_t>(hex("00 20 01 09 01 0A000000 0B000000 03 4F6C64"), datagram);
}

void TestADPlugView::frame() {
    ADPlugView_t panel(QHostAddress("FE80::AB:CD"), hex("00 20 01 00 00"));
    QCOMPARE(panel.metaObject()->className(), "ADPlugView_t");
    QCOMPARE(panel.metaObject()->superClass(), &QFrame::staticMetaObject);
    QCOMPARE(ownSlots(&panel), QStringList{"private _Switch()"});
    QCOMPARE(panel.minimumHeight(), 105);
    QCOMPARE(panel.maximumHeight(), 105);
    QCOMPARE(title(&panel)->text(), QStringLiteral("TERNIX36 ADPlug"));
    QCOMPARE(placement(&panel, title(&panel)), QList<int>({0, 0, 1, 5}));
    QCOMPARE(cellText(&panel, 3, 1), scoped("fe80::ab:cd"));
    QCOMPARE(placement(&panel, cell(&panel, 3, 1)), QList<int>({3, 1, 1, 1}));
    QCOMPARE(placement(&panel, cell(&panel, 1, 1)), QList<int>({1, 1, 2, 1}));

    QWidget *apparent = cell(&panel, 1, 2);
    QWidget *real = cell(&panel, 1, 3);
    QCOMPARE(placement(&panel, apparent), QList<int>({1, 2, 2, 1}));
    QCOMPARE(placement(&panel, real), QList<int>({1, 3, 2, 1}));
    QCOMPARE(cellText(&panel, 3, 2), QStringLiteral("Apparent"));
    QCOMPARE(cellText(&panel, 3, 3), QStringLiteral("Real"));
    for (QWidget *power : {apparent, real}) {
        QCOMPARE(power->minimumWidth(), 100);
        QCOMPARE(power->maximumWidth(), 100);
        QCOMPARE(qobject_cast<QLabel *>(power)->alignment(), Qt::AlignHCenter | Qt::AlignVCenter);
    }
    auto *button = qobject_cast<QPushButton *>(cell(&panel, 1, 4));
    QVERIFY(button);
    QCOMPARE(button->text(), QStringLiteral("Switch"));
    QCOMPARE(button->minimumSize(), QSize(60, 60));
    QCOMPARE(button->maximumSize(), QSize(60, 60));
    QCOMPARE(placement(&panel, button), QList<int>({1, 4, 3, 1}));

    const QFont plain = QLabel().font();
    QCOMPARE(real->font().weight(), QFont::Bold);
    QCOMPARE(real->font().pointSize(), 2 * plain.pointSize());
    QCOMPARE(apparent->font(), real->font());
    QCOMPARE(title(&panel)->font(), plain);
}

void TestADPlugView::switchAsksForTheOppositeState_data() {
    QTest::addColumn<QByteArray>("report");
    QTest::addColumn<QByteArray>("command");

    QTest::newRow("off asks for on")
        << hex("00 20 01 09 00 00000000 00000000 00") << hex("C0 20 01 01");
    QTest::newRow("1 asks for off")
        << hex("00 20 01 09 01 00000000 00000000 00") << hex("C0 20 01 00");
    QTest::newRow("0xFF asks for off")
        << hex("00 20 01 09 FF 00000000 00000000 00") << hex("C0 20 01 00");
    QTest::newRow("N 0, state from byte 4") << hex("00 20 01 00 02 4B69") << hex("C0 20 01 00");
}

void TestADPlugView::switchAsksForTheOppositeState() {
    QFETCH(QByteArray, report);
    QFETCH(QByteArray, command);
    Catcher node(QHostAddress::LocalHostIPv6, 4444);
    Catcher otherPort(QHostAddress::LocalHostIPv6, 40000);
    QVERIFY(node.isBound());
    QVERIFY(otherPort.isBound());

    // The state of the opposite report first, so that only the later report decides.
    ADPlugView_t panel(QHostAddress::LocalHostIPv6,
                       command.endsWith('\1') ? hex("00 20 01 00 01") : hex("00 20 01 00 00"));
    panel._DataRead(report);

    // Two presses without a report in between ask for the same state twice.
    auto *button = qobject_cast<QPushButton *>(cell(&panel, 1, 4));
    QTest::mouseClick(button, Qt::LeftButton);
    QTest::mouseClick(button, Qt::LeftButton);
    node.waitFor(2);
    QCOMPARE(node.payloads(), QList<QByteArray>({command, command}));
    QCOMPARE(node.settle().size(), 2);
    QCOMPARE(otherPort.settle(0).size(), 0);
}

void TestADPlugView::readingsAreNeverCut_data() {
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("real");
    QTest::addColumn<bool>("wider");

    QTest::newRow("fits") << hex("00 20 01 09 01 64000000 64000000 00") << "1 W" << false;
    QTest::newRow("1121.2 W") << hex("00 20 01 09 01 F8B50100 F8B50100 00") << "1121.2 W" << true;
    QTest::newRow("-123.45 W") << hex("00 20 01 09 01 C7CFFFFF C7CFFFFF 00") << "-123.45 W" << true;
    QTest::newRow("exponent") << hex("00 20 01 09 01 00000080 00000080 00") << "-2.14748e+07 W"
                              << true;
}

void TestADPlugView::readingsAreNeverCut() {
    QFETCH(QByteArray, datagram);
    ADPlugView_t panel(QHostAddress("fe80::1c"), datagram);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    for (int column : {2, 3}) {
        auto *power = qobject_cast<QLabel *>(cell(&panel, 1, column));
        QTEST(power->text(), "real");
        checkValueFits(power);
        QTEST(power->width() > 100, "wider");
    }
    // A shorter reading afterwards gives the label its own width back.
    panel._DataRead(hex("00 20 01 09 01 64000000 64000000 00"));
    for (int column : {2, 3})
        QCOMPARE(cell(&panel, 1, column)->maximumWidth(), 100);
}

QTEST_MAIN(TestADPlugView)
#include "tst_adplugview.moc"
