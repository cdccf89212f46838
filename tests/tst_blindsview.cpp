// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainWindow.h"
#include "panels/BlindsView.h"

#include "TestSupport.h"

#include <QPushButton>
#include <QTest>

using namespace TestSupport;

namespace {

QByteArray blindsReport(quint8 state) {
    return hex("00 21 01") + char(state);
}

QPushButton *upButton(QWidget *panel) {
    return qobject_cast<QPushButton *>(cell(panel, 1, 3));
}

QPushButton *downButton(QWidget *panel) {
    return qobject_cast<QPushButton *>(cell(panel, 1, 4));
}

} // namespace

class TestBlindsView : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void states_data();
    void states();
    void bytesAfterTheStateChangeNothing();
    void tooShortForAHeaderKeepsTheState();
    void cutReports_data();
    void cutReports();
    void frame();

private:
    MainWindow_t *window = nullptr;
};

void TestBlindsView::initTestCase() {
    window = new MainWindow_t; // the panels take their scope from it
}

void TestBlindsView::cleanupTestCase() {
    delete window;
}

void TestBlindsView::states_data() {
    // The states reported one after the other, the first one creating the panel.
    QTest::addColumn<QByteArray>("states");
    QTest::addColumn<QColor>("title"); // invalid: the default window colour
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("up");
    QTest::addColumn<QString>("down");
    QTest::addColumn<QByteArray>("sentByUpThenDown"); // byte 3 of each command

    const QColor gray(Qt::gray);
    const QColor red(Qt::red);
    const QColor green(Qt::green);
    QTest::newRow("0") << hex("00") << gray << "Off"
                       << "Up"
                       << "Down" << hex("03 01");
    QTest::newRow("1") << hex("01") << red << "Down"
                       << "Up"
                       << "Off" << hex("00 00");
    QTest::newRow("3") << hex("03") << green << "Up"
                       << "Off"
                       << "Down" << hex("00 00");
    QTest::newRow("1 then 3") << hex("01 03") << green << "Up"
                              << "Off"
                              << "Off" << hex("00 00");
    QTest::newRow("3 then 1") << hex("03 01") << red << "Down"
                              << "Off"
                              << "Off" << hex("00 00");
    QTest::newRow("1 then 3 then 0") << hex("01 03 00") << gray << "Off"
                                     << "Up"
                                     << "Down" << hex("03 01");
    // Any other state is kept, so both buttons stop, but shows nothing.
    QTest::newRow("2 after 1") << hex("01 02") << red << "Down"
                               << "Up"
                               << "Off" << hex("00 00");
    QTest::newRow("0x7F after 3") << hex("03 7F") << green << "Up"
                                  << "Off"
                                  << "Down" << hex("00 00");
    QTest::newRow("0xFF after 0") << hex("00 FF") << gray << "Off"
                                  << "Up"
                                  << "Down" << hex("00 00");
    QTest::newRow("2 first: the initial display") << hex("02") << QColor() << ""
                                                  << "Up"
                                                  << "Down" << hex("00 00");
    QTest::newRow("0 after 2") << hex("02 00") << gray << "Off"
                               << "Up"
                               << "Down" << hex("03 01");
}

void TestBlindsView::states() {
    QFETCH(QByteArray, states);
    QFETCH(QColor, title);
    QFETCH(QByteArray, sentByUpThenDown);
    Catcher node(QHostAddress::LocalHostIPv6, 40000);
    Catcher otherPort(QHostAddress::LocalHostIPv6, 4444);
    QVERIFY(node.isBound());
    QVERIFY(otherPort.isBound());

    BlindsView_t panel(QHostAddress::LocalHostIPv6, blindsReport(quint8(states.at(0))));
    for (qsizetype i = 1; i < states.size(); ++i)
        panel._DataRead(blindsReport(quint8(states.at(i))));

    QCOMPARE(titleColour(&panel),
             title.isValid() ? title : panel.palette().color(QPalette::Window));
    QTEST(cellText(&panel, 1, 2), "word");
    QTEST(upButton(&panel)->text(), "up");
    QTEST(downButton(&panel)->text(), "down");

    // Pressing twice sends twice: the last report decides, not what was sent.
    for (QPushButton *button : {upButton(&panel), upButton(&panel), downButton(&panel)})
        QTest::mouseClick(button, Qt::LeftButton);
    const QByteArray up = hex("C0 21 01") + sentByUpThenDown.at(0);
    const QByteArray down = hex("C0 21 01") + sentByUpThenDown.at(1);
    node.waitFor(3);
    QCOMPARE(node.payloads(), QList<QByteArray>({up, up, down}));
    QCOMPARE(node.settle().size(), 3);
    QCOMPARE(otherPort.settle(0).size(), 0);
    QCOMPARE(cellText(&panel, 1, 1), QString()); // the name label is never written
}

void TestBlindsView::bytesAfterTheStateChangeNothing() {
    const QHostAddress node("fe80::50"); // the address label is part of what is compared
    const QByteArray bare = hex("C0 21 01 03");
    BlindsView_t alone(node, bare);
    for (const QByteArray &longer : {hex("C0 21 01 03 00"), hex("C0 21 01 03 01 04 4B697465"),
                                     hex("C0 21 01 03 00 00 00 00 04 4B697465")}) {
        BlindsView_t fresh(node, longer);
        BlindsView_t reused(node, bare);
        reused._DataRead(hex("C0 21 01 00"));
        reused._DataRead(longer);
        QCOMPARE(display(&fresh), display(&alone));
        QCOMPARE(display(&reused), display(&alone));
        QCOMPARE(cellText(&fresh, 1, 1), QString());
    }
}

void TestBlindsView::tooShortForAHeaderKeepsTheState() {
    Catcher node(QHostAddress::LocalHostIPv6, 40000);
    QVERIFY(node.isBound());
    BlindsView_t panel(QHostAddress::LocalHostIPv6, blindsReport(1));
    for (const QByteArray &junk : {QByteArray(), hex("00"), hex("00 21")})
        panel._DataRead(junk);

    // Still driving down, so Up stops it.
    QTest::mouseClick(upButton(&panel), Qt::LeftButton);
    node.waitFor(1);
    QCOMPARE(node.payloads(), QList<QByteArray>({hex("C0 21 01 00")}));

    // A bare header is a report whose missing state reads 0: off.
    panel._DataRead(hex("C0 21 01"));
    QCOMPARE(cellText(&panel, 1, 2), QStringLiteral("Off"));
    QTest::mouseClick(upButton(&panel), Qt::LeftButton);
    node.waitFor(2);
    QCOMPARE(node.payloads().last(), hex("C0 21 01 03"));
}

void TestBlindsView::cutReports_data() {
    QTest::addColumn<QByteArray>("datagram");
    QTest::newRow("down") << hex("00 21 01 01");
    QTest::newRow("up, with a name-like tail") << hex("00 21 01 03 04 4B697465");
}

void TestBlindsView::cutReports() {
    QFETCH(QByteArray, datagram);
    checkCutReports<BlindsView_t>(blindsReport(1), datagram);
}

void TestBlindsView::frame() {
    BlindsView_t panel(QHostAddress("FE80::AB:CD"), blindsReport(0));
    QCOMPARE(panel.metaObject()->className(), "BlindsView_t");
    QCOMPARE(panel.metaObject()->superClass(), &QFrame::staticMetaObject);
    QCOMPARE(ownSlots(&panel), QStringList({"private _SwitchX(_BlindDir)", "private _SwitchUp()",
                                            "private _SwitchDown()"}));
    QCOMPARE(panel.minimumHeight(), 105);
    QCOMPARE(panel.maximumHeight(), 105);
    QCOMPARE(title(&panel)->text(), QStringLiteral("TERNIX36 Blinds"));
    QCOMPARE(placement(&panel, title(&panel)), QList<int>({0, 0, 1, 5}));
    QCOMPARE(cellText(&panel, 3, 1), scoped("fe80::ab:cd"));
    QCOMPARE(placement(&panel, cell(&panel, 3, 1)), QList<int>({3, 1, 1, 1}));
    QCOMPARE(placement(&panel, cell(&panel, 1, 1)), QList<int>({1, 1, 2, 1}));

    auto *word = qobject_cast<QLabel *>(cell(&panel, 1, 2));
    QVERIFY(word);
    QCOMPARE(placement(&panel, word), QList<int>({1, 2, 2, 1}));
    QCOMPARE(word->alignment(), Qt::AlignHCenter | Qt::AlignVCenter);
    const QFont plain = QLabel().font();
    QCOMPARE(word->font().weight(), QFont::Bold);
    QCOMPARE(word->font().pointSize(), 2 * plain.pointSize());
    QCOMPARE(title(&panel)->font(), plain);

    QCOMPARE(placement(&panel, upButton(&panel)), QList<int>({1, 3, 3, 1}));
    QCOMPARE(placement(&panel, downButton(&panel)), QList<int>({1, 4, 3, 1}));
    // No size is fixed on the buttons.
    QCOMPARE(upButton(&panel)->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    QCOMPARE(downButton(&panel)->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
}

QTEST_MAIN(TestBlindsView)
#include "tst_blindsview.moc"
