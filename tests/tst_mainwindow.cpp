// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/InterfaceList.h"
#include "app/MainWindow.h"
#include "panels/ItemView.h"
#include "panels/PlugView.h"
#include "protocol/NodeMap.h"

#include "FreeSender.h"
#include "TestSupport.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QNetworkInterface>
#include <QProcess>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

using TestSupport::hex;
using TestSupport::RecordingPanel;

namespace {

bool ip(const QString &arguments) {
    return QProcess::execute(QStringLiteral("ip"), arguments.split(QLatin1Char(' '))) == 0;
}

int indexOf(const QString &name) {
    return QNetworkInterface::interfaceIndexFromName(name);
}

// How many of the datagrams arrived on one of these interfaces.
int countOn(const QList<QNetworkDatagram> &datagrams, const QList<int> &indexes) {
    return int(std::count_if(datagrams.begin(), datagrams.end(), [&](const QNetworkDatagram &d) {
        return indexes.contains(int(d.interfaceIndex()));
    }));
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void layoutOfTheWindow();
    void receivePath();
    void waitingDatagramsAreRoutedInOneTurn();
    void burstOfAnswersIsKept();
    void probesOnTheChosenInterface();
    void exitClosesTheWindow_data();
    void exitClosesTheWindow();
    void tabKeepsTheFocusInView_data();
    void tabKeepsTheFocusInView();
};

void TestMainWindow::layoutOfTheWindow() {
    MainWindow_t window;
    QCOMPARE(window.minimumWidth(), 600);
    QCOMPARE(pMainWindow, &window);

    auto *toolBar = window.findChild<QToolBar *>();
    QVERIFY(toolBar);
    const QList<QAction *> actions = toolBar->actions();
    QCOMPARE(actions.size(), 3);
    auto *box = qobject_cast<QComboBox *>(toolBar->widgetForAction(actions[0]));
    QVERIFY(box);
    QCOMPARE(actions[1]->text(), QStringLiteral("Scan"));
    QCOMPARE(actions[2]->text(), QStringLiteral("Exit"));
    QCOMPARE(actions[1]->toolTip(), QStringLiteral("Scan (F5)"));
    QCOMPARE(actions[2]->toolTip(), QStringLiteral("Exit (Ctrl+Q)"));
    // Qt names a combo box after its current item; the description says what it is.
    QVERIFY(QAccessible::queryAccessibleInterface(box)
                ->text(QAccessible::Description)
                .contains(QStringLiteral("interface")));

    const QList<InterfaceChoice_t> expected = _UsableInterfaces(_DescribeAllInterfaces());
    QCOMPARE(box->count(), expected.size());
    for (int i = 0; i < box->count(); ++i) {
        QCOMPARE(box->itemText(i), expected[i].text);
        QCOMPARE(box->itemData(i, Qt::UserRole).toString(), expected[i].interfaceName);
        QVERIFY(box->itemIcon(i).isNull());
    }
    QCOMPARE(window._InterfaceName(), expected.isEmpty() ? QString() : expected[0].interfaceName);

    auto *scrollArea = qobject_cast<QScrollArea *>(window.centralWidget());
    QVERIFY(scrollArea);
    QVERIFY(scrollArea->widgetResizable());
    QWidget *container = scrollArea->widget();
    QVERIFY(qobject_cast<QVBoxLayout *>(container->layout()));
    QCOMPARE(container->sizePolicy().horizontalPolicy(), QSizePolicy::MinimumExpanding);
    QCOMPARE(container->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
}

void TestMainWindow::receivePath() {
    MainWindow_t window;
    const QHostAddress node(QHostAddress::LocalHostIPv6);
    auto *panel = new RecordingPanel(node);
    window._AddItem(panel);
    NodeMap.insert(_NodeKey(node), panel);

    auto *receiveSocket = window.findChild<QUdpSocket *>();
    QVERIFY(receiveSocket);
    QCOMPARE(receiveSocket->localPort(), quint16(4444));

    const QList<QByteArray> sent = {hex("C0 10 01 00 00"), QByteArray(),
                                    QByteArray(1500, 'x'), hex("01"),
                                    QByteArray(1024, 'y'), hex("C0 30 01 01 E4")};
    QUdpSocket sender;
    for (const QByteArray &datagram : sent)
        QCOMPARE(sender.writeDatagram(datagram, node, 4444), qint64(datagram.size()));

    QTRY_COMPARE(panel->datagrams.size(), sent.size());
    QList<QByteArray> expected = sent;
    expected[2].truncate(1024); // a longer datagram reaches routing as its first 1024 bytes
    QCOMPARE(panel->datagrams, expected);
    QVERIFY(!receiveSocket->hasPendingDatagrams());
}

void TestMainWindow::waitingDatagramsAreRoutedInOneTurn() {
    MainWindow_t window;
    const QHostAddress node(QHostAddress::LocalHostIPv6);
    auto *panel = new RecordingPanel(node);
    window._AddItem(panel);
    NodeMap.insert(_NodeKey(node), panel);
    auto *receiveSocket = window.findChild<QUdpSocket *>();

    // Twenty datagrams wait in the socket; one readyRead() routes them all, in
    // order, so that the panels lay out and paint once for all of them.
    QUdpSocket sender;
    QList<QByteArray> sent;
    for (char i = 0; i < 20; ++i)
        sent.append(hex("C0 10 01 01") + i);
    for (const QByteArray &datagram : sent)
        sender.writeDatagram(datagram, node, 4444);
    QTRY_VERIFY(receiveSocket->hasPendingDatagrams());
    QVERIFY(QMetaObject::invokeMethod(&window, "_ScanDataRead"));
    QCOMPARE(panel->datagrams, sent);

    // A new panel ends the turn: what follows waits for the next readyRead().
    if (!TestSupport::inPrivateNetwork())
        QSKIP("needs a private network namespace to send from other addresses (tests/isolated.sh)");
    panel->datagrams.clear();
    sender.writeDatagram(sent[0], node, 4444);
    QVERIFY(FreeSender(QHostAddress(QStringLiteral("fd00::c:1"))).send(hex("00 10 01 00 00")));
    sender.writeDatagram(sent[1], node, 4444);
    const qsizetype panels = NodeMap.size();
    QVERIFY(QMetaObject::invokeMethod(&window, "_ScanDataRead"));
    QCOMPARE(panel->datagrams, QList<QByteArray>{sent[0]});
    QCOMPARE(NodeMap.size(), panels + 1);
    QVERIFY(QMetaObject::invokeMethod(&window, "_ScanDataRead"));
    QCOMPARE(panel->datagrams, QList<QByteArray>({sent[0], sent[1]}));
}

void TestMainWindow::burstOfAnswersIsKept() {
    if (!TestSupport::inPrivateNetwork())
        QSKIP("needs a private network namespace to send from other addresses (tests/isolated.sh)");
    MainWindow_t window;
    auto *receiveSocket = window.findChild<QUdpSocket *>();

    // The socket asks for 8 MiB; the system grants up to net.core.rmem_max
    // (and reports twice what it grants).
    QFile rmemMax(QStringLiteral("/proc/sys/net/core/rmem_max"));
    QVERIFY(rmemMax.open(QIODevice::ReadOnly));
    const int granted = qMin(8 * 1024 * 1024, rmemMax.readAll().trimmed().toInt());
    const int buffer =
        receiveSocket->socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toInt();
    QVERIFY2(buffer >= granted, qPrintable(QStringLiteral("%1 < %2").arg(buffer).arg(granted)));

    // 2,000 nodes answer at once, long before the first panel is built.
    constexpr int Answers = 2000;
    if (buffer < Answers * 2048)
        QSKIP("net.core.rmem_max is too small here to hold 2,000 answers");
    const QList<QByteArray> reports = {hex("00 10 01 08 10270000 20270000 04 4B697465"),
                                       hex("00 20 01 09 01 10270000 20270000 00"),
                                       hex("00 11 01 08 D7000000 10270000 00"),
                                       hex("00 30 01 01 32 00"), hex("00 21 01 00")};
    const qsizetype panels = NodeMap.size();
    for (int i = 0; i < Answers; ++i)
        QVERIFY(FreeSender(QHostAddress(QStringLiteral("fd00::b:%1").arg(i + 1, 0, 16)))
                    .send(reports[i % reports.size()]));
    QTRY_COMPARE_WITH_TIMEOUT(NodeMap.size(), panels + Answers, 60000);
}

void TestMainWindow::probesOnTheChosenInterface() {
    if (!TestSupport::inPrivateNetwork())
        QSKIP("needs a private network namespace to add interfaces in (tests/isolated.sh)");

    // Two separate links, each a veth pair; a probe sent on one end comes back
    // on that end (multicast loop) and arrives at the other end, never on the
    // other pair.
    for (const char *pair : {"pa", "pb"}) {
        const QString a = QLatin1String(pair) + QLatin1String("0");
        const QString b = QLatin1String(pair) + QLatin1String("1");
        QVERIFY(ip(QStringLiteral("link add %1 type veth peer name %2").arg(a, b)));
        QVERIFY(ip(QStringLiteral("link set %1 up").arg(a)));
        QVERIFY(ip(QStringLiteral("link set %1 up").arg(b)));
        QVERIFY(ip(QStringLiteral("addr add fe80::%1:1/64 dev %2 nodad")
                       .arg(pair[1] == 'a' ? 1 : 2)
                       .arg(a)));
        QVERIFY(ip(QStringLiteral("addr add fe80::%1:2/64 dev %2 nodad")
                       .arg(pair[1] == 'a' ? 1 : 2)
                       .arg(b)));
    }
    const QList<int> pairA = {indexOf(QStringLiteral("pa0")), indexOf(QStringLiteral("pa1"))};
    const QList<int> pairB = {indexOf(QStringLiteral("pb0")), indexOf(QStringLiteral("pb1"))};

    QUdpSocket node;
    QVERIFY(node.bind(QHostAddress::AnyIPv6, 40000, QUdpSocket::ShareAddress));
    // Everything that reached the node side since the last call.
    auto collect = [&node]() {
        QTest::qWait(300);
        QList<QNetworkDatagram> datagrams;
        while (node.hasPendingDatagrams())
            datagrams.append(node.receiveDatagram());
        return datagrams;
    };

    MainWindow_t window;
    auto *box = window.findChild<QComboBox *>();
    QCOMPARE(box->count(), 4);
    const int first = box->itemData(0).toString().toInt();
    QCOMPARE(window._InterfaceName(), QString::number(first));
    const QList<int> firstPair = pairA.contains(first) ? pairA : pairB;
    const QList<int> otherPair = pairA.contains(first) ? pairB : pairA;

    // The constructor's one probe, on the first interface: its own copy and
    // the one that crossed the link.
    QList<QNetworkDatagram> probes = collect();
    QCOMPARE(countOn(probes, firstPair), 2);
    QCOMPARE(countOn(probes, {first}), 1);
    QCOMPARE(probes.size(), 2);
    for (const QNetworkDatagram &probe : probes) {
        QCOMPARE(probe.data(), hex("00 01 02 03 04 05 06 07 08 09"));
        QCOMPARE(probe.senderPort(), 4444);
        QHostAddress destination = probe.destinationAddress();
        destination.setScopeId(QString());
        QCOMPARE(destination, QHostAddress(QStringLiteral("ff02::1")));
    }

    // Choosing an interface of the other link sends one probe there only.
    int other = -1;
    for (int i = 0; i < box->count(); ++i)
        if (otherPair.contains(box->itemData(i).toString().toInt()))
            other = i;
    box->setCurrentIndex(other);
    const int chosen = box->itemData(other).toString().toInt();
    QCOMPARE(window._InterfaceName(), QString::number(chosen));
    probes = collect();
    QCOMPARE(probes.size(), 2);
    QCOMPARE(countOn(probes, otherPair), 2);
    QCOMPARE(countOn(probes, {chosen}), 1);

    // Choosing the item that is already current sends nothing; "Scan" repeats.
    box->setCurrentIndex(other);
    QCOMPARE(collect().size(), 0);
    window.findChild<QToolBar *>()->actions()[1]->trigger();
    probes = collect();
    QCOMPARE(probes.size(), 2);
    QCOMPARE(countOn(probes, {chosen}), 1);

    // So does the desktop's Refresh key, once per press.
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_F5);
    probes = collect();
    QCOMPARE(probes.size(), 2);
    QCOMPARE(countOn(probes, {chosen}), 1);
    QCOMPARE(probes[0].data(), hex("00 01 02 03 04 05 06 07 08 09"));

    for (const char *end : {"pa0", "pb0"})
        ip(QStringLiteral("link del %1").arg(QLatin1String(end)));
}

void TestMainWindow::exitClosesTheWindow_data() {
    QTest::addColumn<bool>("byKey");
    QTest::newRow("Exit") << false;
    QTest::newRow("Ctrl+Q") << true;
}

void TestMainWindow::exitClosesTheWindow() {
    QFETCH(bool, byKey);
    MainWindow_t window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    // "Exit" (or the desktop's Quit key) closes the last window, which ends
    // the event loop with 0; a loop that is still running after 10 s ends
    // with 1 instead.
    QAction *exit = window.findChild<QToolBar *>()->actions()[2];
    if (byKey)
        QTimer::singleShot(0, &window,
                           [&window] { QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier); });
    else
        QTimer::singleShot(0, exit, &QAction::trigger);
    QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(1); });
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(!window.isVisible());
}

void TestMainWindow::tabKeepsTheFocusInView_data() {
    QTest::addColumn<int>("panels");
    QTest::newRow("20") << 20;
    QTest::newRow("3,000") << 3000;
}

void TestMainWindow::tabKeepsTheFocusInView() {
    QFETCH(int, panels);
    MainWindow_t window;
    window.resize(800, 600);
    QList<QPushButton *> buttons;
    for (int i = 0; i < panels; ++i) {
        auto *panel = new PlugView_t(QHostAddress(QStringLiteral("fe80::%1").arg(i + 1, 0, 16)),
                                     hex("00 10 01 00 00"));
        window._AddItem(panel);
        buttons.append(panel->findChild<QPushButton *>());
    }
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto *scrollArea = qobject_cast<QScrollArea *>(window.centralWidget());
    const auto inView = [scrollArea](QWidget *widget) {
        const QRect place(widget->mapTo(scrollArea->viewport(), QPoint()), widget->size());
        return scrollArea->viewport()->rect().contains(place);
    };

    // From the top, Tab by Tab down to the last panel, and Tab from far down
    // the column while the view is back at the top.
    buttons.first()->setFocus();
    for (int i = 1; i < qMin(panels, 12); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), buttons[i]);
        QVERIFY(inView(buttons[i]));
    }
    buttons[panels - 2]->setFocus();
    scrollArea->verticalScrollBar()->setValue(0);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), buttons.last());
    QVERIFY(inView(buttons.last()));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
