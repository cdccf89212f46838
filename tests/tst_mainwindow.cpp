// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/InterfaceList.h"
#include "app/MainWindow.h"
#include "panels/ItemView.h"
#include "panels/PlugView.h"
#include "protocol/Clock.h"
#include "protocol/NodeMap.h"

#include "FreeSender.h"
#include "TestSupport.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QNetworkInterface>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolTip>
#include <QVBoxLayout>
// Only the platform turns accessibility on; the tests stand in for a screen reader.
#include <QtGui/private/qguiapplication_p.h>
#include <QtGui/qpa/qplatformaccessibility.h>
#include <QtGui/qpa/qplatformintegration.h>

using TestSupport::hex;
using TestSupport::RecordingPanel;

namespace {

bool ip(const QString &arguments) {
    return QProcess::execute(QStringLiteral("ip"), arguments.split(QLatin1Char(' '))) == 0;
}

int indexOf(const QString &name) {
    return QNetworkInterface::interfaceIndexFromName(name);
}

// The clocks the window and the panels read: set by the test alone. The wall
// clock can be stepped, as NTP or a user steps it; the monotonic one cannot.
qint64 testNowMs = 0;
qint64 testWallStepMs = 0;
qint64 testClock() {
    return testNowMs + testWallStepMs;
}
qint64 testMonotonicClock() {
    return testNowMs;
}

// The QAccessible::DescriptionChanged events sent, by object.
QList<QObject *> descriptionChanges;
// The panels' own changes: their value labels describe themselves as they are made.
void recordDescriptionChange(QAccessibleEvent *event) {
    if (event->type() == QAccessible::DescriptionChanged &&
        dynamic_cast<ItemView_t *>(event->object()))
        descriptionChanges.append(event->object());
}

// One veth pair, both ends usable: the interface box offers two interfaces.
bool addLinkPair(const char *name) {
    const QString a = QLatin1String(name) + QLatin1String("0");
    const QString b = QLatin1String(name) + QLatin1String("1");
    return ip(QStringLiteral("link add %1 type veth peer name %2").arg(a, b)) &&
           ip(QStringLiteral("link set %1 up").arg(a)) &&
           ip(QStringLiteral("link set %1 up").arg(b)) &&
           ip(QStringLiteral("addr add fe80::9:1/64 dev %1 nodad").arg(a)) &&
           ip(QStringLiteral("addr add fe80::9:2/64 dev %1 nodad").arg(b));
}

// What the panel's tooltip says over its name.
QString toolTipOverName(QWidget *panel) {
    QWidget *name = TestSupport::cell(panel, 1, 1);
    const QPoint centre = name->rect().center();
    QHelpEvent help(QEvent::ToolTip, centre, name->mapToGlobal(centre));
    QApplication::sendEvent(name, &help);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

QString description(QWidget *widget) {
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible ? accessible->text(QAccessible::Description) : QStringLiteral("<none>");
}

// A plug that reports the given name, as routing makes it.
QByteArray plugReport(const QByteArray &name) {
    return hex("00 10 01 00") + char(name.size()) + name;
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
    void emptyColumnSaysWhy_data();
    void emptyColumnSaysWhy();
    void receivePath();
    void waitingDatagramsAreRoutedInOneTurn();
    void burstOfAnswersIsKept();
    void probesOnTheChosenInterface();
    void exitClosesTheWindow_data();
    void exitClosesTheWindow();
    void tabKeepsTheFocusInView_data();
    void tabKeepsTheFocusInView();
    void silentNodesAreMarked_data();
    void silentNodesAreMarked();
    void find_data();
    void find();
    void findNextAndPreviousWrapAround();
    void findGivesTheFocusBack();

private:
    // Four plugs in a shown window: Desk lamp, Kettle, Porch sensor, Porch light.
    QList<ItemView_t *> addPlugs(MainWindow_t &window);
};

void TestMainWindow::layoutOfTheWindow() {
    // A link of our own, its two ends with addresses in fe80::b0:0/112.
    const auto removeLink = qScopeGuard([] { ip(QStringLiteral("link del t36box0")); });
    if (TestSupport::inPrivateNetwork()) {
        QVERIFY(ip(QStringLiteral("link add t36box0 type veth peer name t36box1")));
        QVERIFY(ip(QStringLiteral("addr add fe80::b0:1/64 dev t36box0 nodad")));
        QVERIFY(ip(QStringLiteral("addr add fe80::b0:2/64 dev t36box1 nodad")));
    }

    MainWindow_t window;
    QCOMPARE(window.minimumWidth(), 600);
    QCOMPARE(pMainWindow, &window);

    auto *toolBar = window.findChild<QToolBar *>();
    QVERIFY(toolBar);
    const QList<QAction *> actions = toolBar->actions();
    QCOMPARE(actions.size(), 4);
    auto *box = qobject_cast<QComboBox *>(toolBar->widgetForAction(actions[0]));
    QVERIFY(box);
    QCOMPARE(actions[1]->text(), QStringLiteral("Scan"));
    QCOMPARE(actions[2]->text(), QStringLiteral("Exit"));
    // The find field, until asked for, is not there to see.
    QVERIFY(qobject_cast<QLineEdit *>(toolBar->widgetForAction(actions[3])));
    QVERIFY(!actions[3]->isVisible());
    // Titled from the start: under Wayland Qt's own title is empty.
    QCOMPARE(window.windowTitle(), QStringLiteral("ternix36-control"));
    QCOMPARE(actions[1]->toolTip(), QStringLiteral("Scan (F5)"));
    QCOMPARE(actions[2]->toolTip(), QStringLiteral("Exit (Ctrl+Q)"));
    // Qt names a combo box after its current item; the description says what it is.
    QVERIFY(QAccessible::queryAccessibleInterface(box)
                ->text(QAccessible::Description)
                .contains(QStringLiteral("interface")));

    auto *scrollArea = qobject_cast<QScrollArea *>(window.centralWidget());
    QVERIFY(scrollArea);
    QVERIFY(scrollArea->widgetResizable());
    QWidget *container = scrollArea->widget();
    QVERIFY(qobject_cast<QVBoxLayout *>(container->layout()));
    QCOMPARE(container->sizePolicy().horizontalPolicy(), QSizePolicy::MinimumExpanding);
    QCOMPARE(container->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);

    if (!TestSupport::inPrivateNetwork())
        QSKIP("needs a private network namespace to know every interface (tests/isolated.sh)");
    // Loopback and the two ends: the box lists the ends as `ip` names and
    // numbers them, in its order.
    QProcess ipAddr;
    ipAddr.start(QStringLiteral("ip"), QStringList{"-j", "addr", "show", "to", "fe80::b0:0/112"});
    QVERIFY(ipAddr.waitForFinished());
    const QJsonArray links = QJsonDocument::fromJson(ipAddr.readAllStandardOutput()).array();
    QCOMPARE(links.size(), 2);
    QCOMPARE(box->count(), links.size());
    for (int i = 0; i < box->count(); ++i) {
        const QString index = QString::number(links[i][u"ifindex"].toInt());
        QCOMPARE(box->itemText(i), links[i][u"ifname"].toString());
        QCOMPARE(box->itemData(i, Qt::UserRole).toString(), index);
        QVERIFY(box->itemIcon(i).isNull());
    }
    QCOMPARE(window._InterfaceName(), QString::number(links[0][u"ifindex"].toInt()));
}

void TestMainWindow::emptyColumnSaysWhy_data() {
    QTest::addColumn<bool>("link");
    QTest::addColumn<bool>("panel");
    QTest::addColumn<QString>("hint"); // empty: none

    QTest::newRow("no interface")
        << false << false
        << "No network interface with IPv6 was found.\nAn interface named eth0 is never listed: "
           "the user guide, under \"An interface named eth0\", tells how to reach its link.";
    QTest::newRow("no node answered") << true << false
                                      << "No node answered on t36hint1. Choose the interface on "
                                         "the nodes' link and press Scan (F5).";
    QTest::newRow("then a node answers") << true << true << "";
}

void TestMainWindow::emptyColumnSaysWhy() {
    QFETCH(bool, link);
    QFETCH(bool, panel);
    QFETCH(QString, hint);
    if (!TestSupport::inPrivateNetwork())
        QSKIP("needs a private network namespace to know every interface (tests/isolated.sh)");
    const auto removeLink = qScopeGuard([] { ip(QStringLiteral("link del t36hint0")); });
    if (link) {
        QVERIFY(ip(QStringLiteral("link add t36hint0 type veth peer name t36hint1")));
        QVERIFY(ip(QStringLiteral("addr add fe80::c0:1/64 dev t36hint0 nodad")));
        QVERIFY(ip(QStringLiteral("addr add fe80::c0:2/64 dev t36hint1 nodad")));
    }

    MainWindow_t window;
    auto *box = window.findChild<QComboBox *>();
    box->setCurrentIndex(box->findText(QStringLiteral("t36hint1")));
    // Grey on grey: the hint's text turns black to stay readable.
    QPalette grey = window.palette();
    grey.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
    grey.setColor(QPalette::WindowText, QColor(0x77, 0x77, 0x77));
    window.setPalette(grey);
    // At 16 pt the lines wrap more than an empty column is tall.
    QFont large = window.font();
    large.setPointSize(16);
    window.setFont(large);
    window.show();
    for (int probe = 0; probe < 2; ++probe)
        QVERIFY(QMetaObject::invokeMethod(&window, "_ProbeWindowClosed"));
    if (panel)
        window._AddItem(
            new PlugView_t(QHostAddress(QStringLiteral("fe80::10")), plugReport("Lamp")));

    QWidget *viewport = qobject_cast<QScrollArea *>(window.centralWidget())->viewport();
    QList<QLabel *> shown;
    for (QLabel *label : viewport->findChildren<QLabel *>(Qt::FindDirectChildrenOnly))
        if (label->isVisible())
            shown.append(label);
    QCOMPARE(shown.size(), hint.isEmpty() ? 0 : 1);
    if (hint.isEmpty())
        return;
    QCOMPARE(shown[0]->text(), hint);
    QCOMPARE(QAccessible::queryAccessibleInterface(shown[0])->text(QAccessible::Name), hint);
    QCOMPARE(shown[0]->palette().color(QPalette::WindowText), QColor(Qt::black));
    QCOMPARE(shown[0]->alignment(), Qt::AlignCenter);
    // Every wrapped line is there to read, however small the window is made.
    window.resize(window.minimumWidth(), 1);
    QTRY_VERIFY(shown[0]->heightForWidth(viewport->width()) <= viewport->height());
    QCOMPARE(shown[0]->geometry(), viewport->rect());
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

void TestMainWindow::silentNodesAreMarked_data() {
    QTest::addColumn<QByteArray>("answer");    // what the silent node sends at last
    QTest::addColumn<qint64>("wallStepMs");    // the wall clock's step right after the probe
    QTest::addColumn<QString>("answeringAt");  // when the answering node was heard, as shown
    QTest::addColumn<QString>("lateAnswerAt"); // when the silent node was heard at last

    QTest::newRow("report") << hex("00 10 01 00 00") << qint64(0) << "10:21:31"
                            << "10:21:37";
    QTest::newRow("too short for a report") << hex("01") << qint64(0) << "10:21:31"
                                            << "10:21:37";
    QTest::newRow("empty") << QByteArray() << qint64(0) << "10:21:31"
                           << "10:21:37";
    QTest::newRow("wall clock set back an hour")
        << hex("00 10 01 00 00") << qint64(-3600000) << "09:21:31"
        << "09:21:37";
}

void TestMainWindow::silentNodesAreMarked() {
    if (!TestSupport::inPrivateNetwork())
        QSKIP("needs a private network namespace to add interfaces in (tests/isolated.sh)");
    QFETCH(QByteArray, answer);
    QFETCH(qint64, wallStepMs);
    QFETCH(QString, answeringAt);
    QFETCH(QString, lateAnswerAt);
    QVERIFY(addLinkPair("lv"));
    const auto removeLinks = qScopeGuard([] { ip(QStringLiteral("link del lv0")); });
    const qint64 start = QDateTime(QDate(2026, 3, 4), QTime(10, 20, 30)).toMSecsSinceEpoch();
    testNowMs = start;
    testWallStepMs = 0;
    const auto realClocks = qScopeGuard([wall = pClockMs, monotonic = pMonotonicMs] {
        pClockMs = wall;
        pMonotonicMs = monotonic;
    });
    pClockMs = &testClock;
    pMonotonicMs = &testMonotonicClock;
    QPlatformAccessibility *accessibility =
        QGuiApplicationPrivate::platformIntegration()->accessibility();
    QVERIFY(accessibility);
    QAccessible::installUpdateHandler(&recordDescriptionChange);
    accessibility->setActive(true);
    const auto noRecording = qScopeGuard([accessibility] {
        QAccessible::installUpdateHandler(nullptr);
        accessibility->setActive(false);
        descriptionChanges.clear();
    });

    // Two panels on the first interface, one on the second, all heard.
    MainWindow_t window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *box = window.findChild<QComboBox *>();
    QCOMPARE(box->count(), 2);
    const QString a = window._InterfaceName();
    QList<RecordingPanel *> panels;
    QList<QHostAddress> addresses;
    for (int i = 0; i < 3; ++i) {
        if (i == 2)
            box->setCurrentIndex(1);
        addresses.append(QHostAddress(QStringLiteral("fd00::e:%1").arg(i + 1)));
        panels.append(new RecordingPanel(addresses[i]));
        window._AddItem(panels[i]);
        NodeMap.insert(_NodeKey(addresses[i]), panels[i]);
        QVERIFY(FreeSender(addresses[i]).send(hex("00 10 01 00 00")));
    }
    box->setCurrentIndex(0);
    QTRY_VERIFY(std::all_of(panels.begin(), panels.end(),
                            [](RecordingPanel *panel) { return panel->datagrams.size() == 1; }));
    RecordingPanel *silent = panels[0], *answering = panels[1], *otherInterface = panels[2];
    QCOMPARE(silent->_Scope(), a);
    QVERIFY(otherInterface->_Scope() != a);
    QCOMPARE(window.windowTitle(), QStringLiteral("ternix36-control: 3 nodes"));

    // A minute later "Scan" probes the first interface; one node answers.
    testNowMs = start + 60000;
    window.findChild<QToolBar *>()->actions()[1]->trigger();
    testWallStepMs = wallStepMs;
    testNowMs += 1000;
    QVERIFY(FreeSender(addresses[1]).send(hex("00 10 01 00 00")));
    QTRY_COMPARE(answering->datagrams.size(), 2);
    // Four probes so far, one timer each, none per panel.
    const auto probeTimers = [&window] {
        const QList<QTimer *> timers = window.findChildren<QTimer *>();
        return std::count_if(timers.begin(), timers.end(), [](QTimer *timer) {
            return timer->isActive() && timer->isSingleShot() && timer->interval() == 5000;
        });
    };
    QCOMPARE(probeTimers(), 4);
    QVERIFY(descriptionChanges.isEmpty());

    testNowMs += 4000;
    for (int i = 0; i < 4; ++i)
        QVERIFY(QMetaObject::invokeMethod(&window, "_ProbeWindowClosed"));
    QCOMPARE(probeTimers(), 0);
    QVERIFY(silent->_Liveness()._NotAnswering());
    QVERIFY(!answering->_Liveness()._NotAnswering());
    QVERIFY(!otherInterface->_Liveness()._NotAnswering());
    // The node's history has the mark, at the time the window closed.
    QCOMPARE(silent->_History()._Marks().size(), 1);
    QCOMPARE(silent->_History()._Marks().at(0), testClock());
    QCOMPARE(answering->_History()._Marks().size(), 0);
    QCOMPARE(window.windowTitle(), QStringLiteral("ternix36-control: 3 nodes, 1 not answering"));
    QCOMPARE(descriptionChanges, QList<QObject *>{silent});
    QCOMPARE(toolTipOverName(silent),
             "No answer to the probe at 10:21:30. Last heard at 10:20:30 (1 min ago)");
    QCOMPARE(description(silent), "No answer to the probe at 10:21:30. Last heard at 10:20:30");
    QCOMPARE(toolTipOverName(answering), "Last heard at " + answeringAt + " (4 s ago)");
    QCOMPARE(description(answering), "Last heard at " + answeringAt);
    // The mark shows in the panel's left column, the title keeps its colour.
    QLabel *mark = nullptr;
    for (QLabel *label : silent->findChildren<QLabel *>())
        if (!label->pixmap().isNull())
            mark = label;
    QVERIFY(mark && mark->isVisible());
    QCOMPARE(TestSupport::titleColour(silent), TestSupport::titleColour(answering));

    // Anything from the node clears the mark.
    testNowMs += 2000;
    QVERIFY(FreeSender(addresses[0]).send(answer));
    QTRY_COMPARE(silent->datagrams.size(), 2);
    QVERIFY(!silent->_Liveness()._NotAnswering());
    QVERIFY(!mark->isVisible());
    QCOMPARE(window.windowTitle(), QStringLiteral("ternix36-control: 3 nodes"));
    QCOMPARE(descriptionChanges, QList<QObject *>({silent, silent}));
    QCOMPARE(description(silent), "Last heard at " + lateAnswerAt);

    // A removed panel leaves the column, the window's list and NodeMap; its
    // node is new again when it is next heard.
    testNowMs += 10000;
    window.findChild<QToolBar *>()->actions()[1]->trigger();
    QVERIFY(QMetaObject::invokeMethod(&window, "_ProbeWindowClosed"));
    QCOMPARE(window.windowTitle(), QStringLiteral("ternix36-control: 3 nodes, 2 not answering"));
    window._RemoveItem(silent);
    QCOMPARE(window.windowTitle(), QStringLiteral("ternix36-control: 2 nodes, 1 not answering"));
    QVERIFY(!NodeMap.contains(_NodeKey(addresses[0])));
    QCOMPARE(window.findChild<QScrollArea *>()->widget()->layout()->count(), 2);
}

QList<ItemView_t *> TestMainWindow::addPlugs(MainWindow_t &window) {
    QList<ItemView_t *> plugs;
    const QList<QPair<const char *, QByteArray>> nodes = {{"fe80::10", "Desk lamp"},
                                                          {"fe80::11", "Kettle"},
                                                          {"fe80::13", "Porch sensor"},
                                                          {"fe80::ab", "Porch light"}};
    for (const auto &[address, name] : nodes) {
        auto *plug = new PlugView_t(QHostAddress(QLatin1String(address)), plugReport(name));
        window._AddItem(plug);
        plugs.append(plug);
    }
    window.show();
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window))
        qWarning("the window did not become active");
    return plugs;
}

void TestMainWindow::find_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("found"); // -1: no match

    QTest::newRow("whole name") << "Kettle" << 1;
    QTest::newRow("ignoring case") << "kETTLE" << 1;
    QTest::newRow("inside a name") << "lamp" << 0;
    QTest::newRow("first in column order") << "porch" << 2;
    QTest::newRow("more of it") << "porch l" << 3;
    QTest::newRow("address") << "::11" << 1;
    QTest::newRow("address, upper case") << "FE80::AB" << 3;
    QTest::newRow("every address") << "fe80" << 0;
    QTest::newRow("no match") << "garage" << -1;
    QTest::newRow("name and address together") << "kettle fe80" << -1;
}

void TestMainWindow::find() {
    QFETCH(QString, text);
    QFETCH(int, found);
    MainWindow_t window;
    const QList<ItemView_t *> plugs = addPlugs(window);
    auto *field = window.findChild<QLineEdit *>();
    QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(field->isVisible());
    QCOMPARE(QApplication::focusWidget(), field);
    QTest::keyClicks(field, text);

    for (int i = 0; i < plugs.size(); ++i) {
        // The found panel alone has its left column highlighted.
        bool highlighted = false;
        for (QLabel *label : plugs[i]->findChildren<QLabel *>())
            highlighted = highlighted || (label->isVisible() && label->autoFillBackground() &&
                                          label->backgroundRole() == QPalette::Highlight);
        QCOMPARE(highlighted, i == found);
    }
    QCOMPARE(field->accessibleDescription(), found < 0 ? "No match" : "");
    const QList<QAction *> marks = field->actions();
    QCOMPARE(std::any_of(marks.begin(), marks.end(),
                         [](QAction *mark) { return mark->text() == "No match"; }),
             found < 0);
}

void TestMainWindow::findNextAndPreviousWrapAround() {
    MainWindow_t window;
    const QList<ItemView_t *> plugs = addPlugs(window);
    auto *field = window.findChild<QLineEdit *>();
    auto *scrollArea = qobject_cast<QScrollArea *>(window.centralWidget());
    window.resize(window.width(), 200); // room for one panel or two
    QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
    QTest::keyClicks(field, QStringLiteral("porch"));
    const auto foundPanel = [&plugs] {
        for (int i = 0; i < plugs.size(); ++i)
            for (QLabel *label : plugs[i]->findChildren<QLabel *>())
                if (label->isVisible() && label->autoFillBackground() &&
                    label->backgroundRole() == QPalette::Highlight)
                    return i;
        return -1;
    };
    QCOMPARE(foundPanel(), 2);
    QTest::keyClick(field, Qt::Key_F3);
    QCOMPARE(foundPanel(), 3);
    QTRY_VERIFY(scrollArea->viewport()->rect().contains(
        plugs[3]->geometry().translated(plugs[3]->parentWidget()->pos())));
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(foundPanel(), 2);
    QTest::keyClick(field, Qt::Key_F3, Qt::ShiftModifier);
    QCOMPARE(foundPanel(), 3);
    QTest::keyClick(field, Qt::Key_F3, Qt::ShiftModifier);
    QCOMPARE(foundPanel(), 2);
    // After Esc, F3 and Shift+F3 go on from the panel found last.
    QTest::keyClick(field, Qt::Key_Escape);
    QCOMPARE(foundPanel(), -1);
    QTest::keyClick(&window, Qt::Key_F3);
    QCOMPARE(foundPanel(), 3);
    QTest::keyClick(field, Qt::Key_Escape);
    QTest::keyClick(&window, Qt::Key_F3, Qt::ShiftModifier);
    QCOMPARE(foundPanel(), 2);
}

void TestMainWindow::findGivesTheFocusBack() {
    MainWindow_t window;
    const QList<ItemView_t *> plugs = addPlugs(window);
    auto *field = window.findChild<QLineEdit *>();
    QWidget *before = TestSupport::cell(plugs[0], 1, 4);
    QVERIFY(qobject_cast<QPushButton *>(before));
    before->setFocus();

    // Esc after a match: the focus goes to the found panel's first control.
    QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
    QTest::keyClicks(field, QStringLiteral("kettle"));
    QCOMPARE(QApplication::focusWidget(), field);
    QTest::keyClick(field, Qt::Key_Escape);
    QVERIFY(!field->isVisible());
    QWidget *switchButton = TestSupport::cell(plugs[1], 1, 4);
    QCOMPARE(QApplication::focusWidget(), switchButton);

    // Esc without a match: back where it was.
    before = TestSupport::cell(plugs[3], 1, 4);
    before->setFocus();
    QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(QApplication::focusWidget(), field);
    QTest::keyClicks(field, QStringLiteral("zzz"));
    QTest::keyClick(field, Qt::Key_Escape);
    QVERIFY(!field->isVisible());
    QCOMPARE(QApplication::focusWidget(), before);

    // F3 brings the field back with its text.
    QTest::keyClick(&window, Qt::Key_F3);
    QVERIFY(field->isVisible());
    QCOMPARE(QApplication::focusWidget(), field);
    QCOMPARE(field->text(), QStringLiteral("zzz"));
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
