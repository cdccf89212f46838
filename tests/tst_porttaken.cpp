// SPDX-License-Identifier: GPL-3.0-or-later
// Another program holds UDP port 4444 without sharing it. The window must
// still open and work (interfaces, "Scan", "Exit"), say once, out of the way,
// that no node can be heard, and create no panel from what the other program
// receives.

#include "app/MainWindow.h"
#include "protocol/NodeMap.h"

#include "TestSupport.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QProcess>
#include <QStatusBar>
#include <QTcpServer>
#include <QTest>
#include <QToolBar>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

bool ip(const QString &arguments) {
    return QProcess::execute(QStringLiteral("ip"), arguments.split(QLatin1Char(' '))) == 0;
}

// Holds [::]:4444 as a program that does not share its port binds it: no
// SO_REUSEADDR, so no later bind of the port succeeds, shared or not.
class PortHolder {
public:
    PortHolder() {
        descriptor = ::socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in6 any{};
        any.sin6_family = AF_INET6;
        any.sin6_port = htons(4444);
        any.sin6_addr = in6addr_any;
        bound = descriptor >= 0 &&
                ::bind(descriptor, reinterpret_cast<sockaddr *>(&any), sizeof any) == 0;
    }
    ~PortHolder() { ::close(descriptor); }
    bool isBound() const { return bound; }

    // One datagram that reached the holder within the time, or nothing.
    QByteArray receive(int timeoutMs) {
        pollfd waiting{descriptor, POLLIN, 0};
        if (::poll(&waiting, 1, timeoutMs) != 1)
            return QByteArray();
        QByteArray buffer(2048, '\0');
        const ssize_t length = ::recv(descriptor, buffer.data(), size_t(buffer.size()), 0);
        return buffer.left(length < 0 ? 0 : qsizetype(length));
    }

private:
    int descriptor = -1;
    bool bound = false;
};

QStringList statusTexts(MainWindow_t &window) {
    QStringList texts;
    if (auto *bar = window.findChild<QStatusBar *>())
        for (QLabel *label : bar->findChildren<QLabel *>())
            texts.append(label->text());
    return texts;
}

} // namespace

class TestPortTaken : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void freePortShowsNoNotice();
    void takenPort();
    void takenPortWithABrokerHere();
};

void TestPortTaken::initTestCase() {
    if (!inPrivateNetwork())
        QSKIP("needs port 4444 and a link of its own: only inside isolated.sh's namespace");
    // One end with an address that is usable at once; the other with none,
    // so that the window lists just pt0.
    QVERIFY(ip("link add pt0 type veth peer name pt1"));
    QVERIFY(ip("link set pt0 addrgenmode none"));
    QVERIFY(ip("link set pt1 addrgenmode none"));
    QVERIFY(ip("link set pt0 up"));
    QVERIFY(ip("link set pt1 up"));
    QVERIFY(ip("addr add fe80::1/64 dev pt0 nodad"));
}

void TestPortTaken::freePortShowsNoNotice() {
    MainWindow_t window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(!window.findChild<QStatusBar *>());
}

void TestPortTaken::takenPort() {
    PortHolder holder;
    QVERIFY(holder.isBound());
    // The holder really keeps the program's own kind of bind out.
    QUdpSocket shared;
    QVERIFY(!shared.bind(QHostAddress::AnyIPv6, 4444, QUdpSocket::ShareAddress));

    QUdpSocket node; // where nodes take the probe
    QVERIFY(node.bind(QHostAddress::AnyIPv6, 40000, QUdpSocket::ShareAddress));

    MainWindow_t window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QStringList notice = statusTexts(window);
    QCOMPARE(notice.size(), 1);
    QVERIFY2(notice.first().contains("4444"), qPrintable(notice.first()));
    QVERIFY(window.findChild<QStatusBar *>()->isVisible());

    // The interface is listed and the probe still goes out on it, at start
    // and on "Scan", though from another port than 4444.
    auto *box = window.findChild<QComboBox *>();
    QCOMPARE(box->count(), 1);
    QCOMPARE(box->currentText(), QStringLiteral("pt0"));
    const auto probes = [&node] {
        QTest::qWait(300);
        int count = 0;
        while (node.hasPendingDatagrams())
            count += node.receiveDatagram().data() == hex("00 01 02 03 04 05 06 07 08 09");
        return count;
    };
    QVERIFY(probes() >= 1);
    window.findChild<QToolBar *>()->actions().at(1)->trigger(); // "Scan"
    QVERIFY(probes() >= 1);
    QCOMPARE(statusTexts(window), notice); // said once

    // A node's report to port 4444 reaches the other program, not a panel.
    QUdpSocket plug;
    QVERIFY(plug.writeDatagram(hex("00 10 01 00 04") + "Kite", QHostAddress::LocalHostIPv6, 4444) >
            0);
    QCOMPARE(holder.receive(2000), hex("00 10 01 00 04") + "Kite");
    QTest::qWait(200);
    QVERIFY(NodeMap.isEmpty());

    // "Exit" still closes the window.
    window.findChild<QToolBar *>()->actions().at(2)->trigger();
    QVERIFY(!window.isVisible());
}

// Most often the bridge holds the port, beside a broker on the same host.
void TestPortTaken::takenPortWithABrokerHere() {
    PortHolder holder;
    QVERIFY(holder.isBound());
    QTcpServer broker;
    QVERIFY(broker.listen(QHostAddress::LocalHost, 1883));

    MainWindow_t window;
    window.show();
    QTRY_COMPARE(statusTexts(window),
                 QStringList{"Port 4444 is in use by another program. A broker answers on this "
                             "host: ternix36-control --site mqtt://localhost shows its nodes."});
}

QTEST_MAIN(TestPortTaken)
#include "tst_porttaken.moc"
