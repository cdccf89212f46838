// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainWindow.h"
#include "panels/ItemView.h"
#include "protocol/NodeMap.h"
#include "protocol/Route.h"

#include "TestSupport.h"

#include <QLayout>
#include <QProcess>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>

using namespace TestSupport;

namespace {

// A plug report whose name tells the reports apart.
QByteArray plugReport(const QByteArray &name, const char *kind = "10 01") {
    return hex("00") + hex(kind) + hex("00") + char(name.size()) + name;
}

} // namespace

class TestRoute : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void kindTable_data();
    void kindTable();
    void firstDatagramCreatesOnePanel();
    void laterDatagramsGoToTheSamePanel();
    void scopeIsNotPartOfTheNode();
    void firstDatagramKeepsItsLink();
    void senderWithoutValidKindIsForgotten();
    void unknownKindThenDimmer();
    void secondSensorKindPollsAsTheFirst();
    void knownSenderGetsEveryDatagramWhole();
    void severalSendersInEitherOrder_data();
    void severalSendersInEitherOrder();
    void keysCompareAsUnsignedBytes();

private:
    QList<QWidget *> column() const;

    MainWindow_t *window = nullptr;
};

void TestRoute::initTestCase() {
    // An interface of our own, so that panels get a real scope.
    if (inPrivateNetwork()) {
        QCOMPARE(
            QProcess::execute("ip", {"link", "add", "rt0", "type", "veth", "peer", "name", "rt1"}),
            0);
        QCOMPARE(QProcess::execute("ip", {"link", "set", "rt0", "up"}), 0);
        QCOMPARE(QProcess::execute("ip", {"addr", "add", "fe80::aa/64", "dev", "rt0", "nodad"}), 0);
    }
    window = new MainWindow_t;
}

void TestRoute::cleanupTestCase() {
    delete window;
}

QList<QWidget *> TestRoute::column() const {
    QLayout *layout = qobject_cast<QScrollArea *>(window->centralWidget())->widget()->layout();
    QList<QWidget *> panels;
    for (int i = 0; i < layout->count(); ++i)
        panels.append(layout->itemAt(i)->widget());
    return panels;
}

void TestRoute::kindTable_data() {
    QTest::addColumn<QByteArray>("kindBytes");
    QTest::addColumn<QString>("panelClass"); // empty: no panel

    QTest::newRow("0x0110 plug") << hex("10 01") << "PlugView_t";
    QTest::newRow("0x0111 brightness sensor") << hex("11 01") << "BrightView_t";
    QTest::newRow("0x0112 brightness sensor") << hex("12 01") << "BrightView_t";
    QTest::newRow("0x0120 AD plug") << hex("20 01") << "ADPlugView_t";
    QTest::newRow("0x0121 blinds") << hex("21 01") << "BlindsView_t";
    QTest::newRow("0x0130 dimmer") << hex("30 01") << "DimmerView_t";
    QTest::newRow("0x1001") << hex("01 10") << "";
    QTest::newRow("0x0000") << hex("00 00") << "";
    QTest::newRow("0x0113") << hex("13 01") << "";
    QTest::newRow("0x0210") << hex("10 02") << "";
    QTest::newRow("0xFFFF") << hex("FF FF") << "";
}

void TestRoute::kindTable() {
    QFETCH(QByteArray, kindBytes);
    QFETCH(QString, panelClass);
    static int host = 0x1000;
    const QHostAddress sender(QStringLiteral("fe80::%1").arg(++host, 0, 16));

    const qsizetype before = NodeMap.size();
    _RouteDatagram(sender, hex("00") + kindBytes + hex("00 00"));
    if (panelClass.isEmpty()) {
        QCOMPARE(NodeMap.size(), before);
        QVERIFY(!NodeMap.contains(_NodeKey(sender)));
        return;
    }
    QCOMPARE(NodeMap.size(), before + 1);
    ItemView_t *panel = NodeMap.value(_NodeKey(sender));
    QCOMPARE(panel->metaObject()->className(), panelClass.toLatin1());
    QCOMPARE(column().last(), panel);
}

void TestRoute::firstDatagramCreatesOnePanel() {
    const QHostAddress sender(QStringLiteral("fe80::1"));
    const qsizetype before = NodeMap.size();
    const QList<QWidget *> columnBefore = column();

    _RouteDatagram(sender, plugReport("First"));

    QCOMPARE(NodeMap.size(), before + 1);
    ItemView_t *panel = NodeMap.value(_NodeKey(sender));
    QVERIFY(panel);
    QCOMPARE(column(), columnBefore + QList<QWidget *>{panel}); // appended at the bottom
    QCOMPARE(cellText(panel, 1, 1), QStringLiteral("First"));   // shows its first report
    // The address with the scope of the chosen interface, in lower case.
    QVERIFY(!inPrivateNetwork() || !window->_InterfaceName().isEmpty());
    QCOMPARE(cellText(panel, 3, 1), scoped("fe80::1"));
}

void TestRoute::laterDatagramsGoToTheSamePanel() {
    const QHostAddress sender(QStringLiteral("fe80::2"));
    _RouteDatagram(sender, plugReport("Plug"));
    ItemView_t *panel = NodeMap.value(_NodeKey(sender));
    const qsizetype before = NodeMap.size();
    const QList<QWidget *> columnBefore = column();

    // A dimmer's kind from a known plug: read by the plug panel, no new panel.
    _RouteDatagram(sender, plugReport("Now", "30 01"));

    QCOMPARE(NodeMap.size(), before);
    QCOMPARE(column(), columnBefore);
    QCOMPARE(NodeMap.value(_NodeKey(sender)), panel);
    QCOMPARE(cellText(panel, 1, 1), QStringLiteral("Now"));
}

void TestRoute::scopeIsNotPartOfTheNode() {
    _RouteDatagram(QHostAddress(QStringLiteral("fe80::3%1")), plugReport("One"));
    const qsizetype before = NodeMap.size();
    _RouteDatagram(QHostAddress(QStringLiteral("fe80::3%2")), plugReport("Two"));
    _RouteDatagram(QHostAddress(QStringLiteral("fe80::3")), plugReport("Three"));
    QCOMPARE(NodeMap.size(), before);
    QCOMPARE(cellText(NodeMap.value(_NodeKey(QHostAddress("fe80::3"))), 1, 1),
             QStringLiteral("Three"));
}

// A node first heard on another link than the chosen interface's: its panel
// keeps that link, and its commands go back there.
void TestRoute::firstDatagramKeepsItsLink() {
    if (!inPrivateNetwork())
        QSKIP("needs the test's own network");
    QCOMPARE(QProcess::execute("ip", {"addr", "add", "fe80::5/64", "dev", "lo", "nodad"}), 0);
    QVERIFY(window->_InterfaceName() != QLatin1String("1")); // lo is the other link
    Catcher node(QHostAddress(QStringLiteral("fe80::5%lo")), 40000);
    QVERIFY(node.isBound());

    _RouteDatagram(QHostAddress(QStringLiteral("fe80::5%lo")), plugReport("Elsewhere"));
    ItemView_t *panel = NodeMap.value(_NodeKey(QHostAddress(QStringLiteral("fe80::5"))));
    QVERIFY(panel);
    QCOMPARE(cellText(panel, 3, 1), QStringLiteral("fe80::5%1"));
    QTest::mouseClick(qobject_cast<QPushButton *>(cell(panel, 1, 4)), Qt::LeftButton);
    QCOMPARE(node.waitFor(1).size(), 1);
}

void TestRoute::senderWithoutValidKindIsForgotten() {
    const QHostAddress sender(QStringLiteral("fe80::4"));
    const qsizetype before = NodeMap.size();
    for (const QByteArray &datagram : {QByteArray(), hex("00"), hex("00 10"),
                                       plugReport("x", "13 01"), plugReport("y", "01 10")})
        _RouteDatagram(sender, datagram);
    QCOMPARE(NodeMap.size(), before);

    // Each later datagram is examined afresh: the first valid one creates the panel.
    _RouteDatagram(sender, plugReport("Late"));
    QCOMPARE(NodeMap.size(), before + 1);
    QCOMPARE(cellText(NodeMap.value(_NodeKey(sender)), 1, 1), QStringLiteral("Late"));
}

void TestRoute::unknownKindThenDimmer() {
    const QHostAddress sender(QStringLiteral("fe80::6"));
    const qsizetype before = NodeMap.size();
    _RouteDatagram(sender, hex("00 13 01 01 32 00"));
    QCOMPARE(NodeMap.size(), before);

    _RouteDatagram(sender, hex("00 30 01 01 32 04 4B697465"));
    QCOMPARE(NodeMap.size(), before + 1);
    ItemView_t *panel = NodeMap.value(_NodeKey(sender));
    QCOMPARE(panel->metaObject()->className(), "DimmerView_t");
    QCOMPARE(cellText(panel, 4, 2), QStringLiteral("50 %"));
    QCOMPARE(cellText(panel, 1, 1), QStringLiteral("Kite"));
}

void TestRoute::secondSensorKindPollsAsTheFirst() {
    // A node on this machine, so that the panel's poll can be caught.
    Catcher node(QHostAddress::LocalHostIPv6, 4444);
    QVERIFY(node.isBound());
    _RouteDatagram(QHostAddress::LocalHostIPv6, hex("00 12 01 08 D7000000 10270000 00"));
    ItemView_t *panel = NodeMap.value(_NodeKey(QHostAddress::LocalHostIPv6));
    QVERIFY(panel);
    QCOMPARE(panel->metaObject()->className(), "BrightView_t");

    QTest::mouseClick(qobject_cast<QPushButton *>(cell(panel, 1, 6)), Qt::LeftButton);
    node.waitFor(1);
    QCOMPARE(node.payloads(), QList<QByteArray>({hex("C0 11 01")}));
}

void TestRoute::knownSenderGetsEveryDatagramWhole() {
    const QHostAddress sender(QStringLiteral("fe80::5"));
    auto *panel = new RecordingPanel(sender);
    window->_AddItem(panel);
    NodeMap.insert(_NodeKey(sender), panel);

    const QList<QByteArray> datagrams = {QByteArray(), hex("C0"), hex("C0 10"), hex("00 13 01 00"),
                                         QByteArray(1024, '\xFF')};
    for (const QByteArray &datagram : datagrams)
        _RouteDatagram(sender, datagram);
    QCOMPARE(panel->datagrams, datagrams);
}

void TestRoute::severalSendersInEitherOrder_data() {
    QTest::addColumn<QStringList>("senders");
    QTest::newRow("102 then 201") << QStringList{"fe80::102", "fe80::201"};
    QTest::newRow("201 then 102") << QStringList{"fe80::1:201", "fe80::1:102"};
}

void TestRoute::severalSendersInEitherOrder() {
    QFETCH(QStringList, senders);
    const qsizetype before = NodeMap.size();
    for (const QString &sender : senders)
        _RouteDatagram(QHostAddress(sender), plugReport(sender.toLatin1()));
    QCOMPARE(NodeMap.size(), before + senders.size());

    const QList<QWidget *> columnBefore = column();
    for (int round = 0; round < 3; ++round) {
        for (const QString &sender : senders) {
            const QByteArray name = sender.toLatin1() + '/' + QByteArray::number(round);
            _RouteDatagram(QHostAddress(sender), plugReport(name));
            QCOMPARE(cellText(NodeMap.value(_NodeKey(QHostAddress(sender))), 1, 1),
                     QString::fromLatin1(name));
        }
    }
    QCOMPARE(NodeMap.size(), before + senders.size());
    QCOMPARE(column(), columnBefore);
}

void TestRoute::keysCompareAsUnsignedBytes() {
    // 0x80 sorts after 0x7f: the bytes are unsigned.
    const NodeKey_t low = _NodeKey(QHostAddress("fe80::7f"));
    const NodeKey_t high = _NodeKey(QHostAddress("fe80::80"));
    const NodeKey_t highest = _NodeKey(QHostAddress("ff02::1"));
    QVERIFY(low < high);
    QVERIFY(high < highest);
    QCOMPARE(_NodeKey(QHostAddress("fe80::7f%3")), low);
}

QTEST_MAIN(TestRoute)
#include "tst_route.moc"
