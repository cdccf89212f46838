// SPDX-License-Identifier: GPL-3.0-or-later
// The interface box and the road to a node on the kind of network a user's
// machine has: loopback, a wired and a "wireless" interface, a bridge with a
// member, an IPv4-only VPN tunnel, an interface named eth0 and a macvlan on
// top of it. The far ends of the links live in a second network namespace,
// where a socket plays a node. So this namespace looks like a desktop
// machine, and a probe is seen both as its multicast loopback copy (on the
// interface it left by) and where it arrives (on the link it took); the
// node's answer and the panel's command then show whether the interface is
// one a user can work through.

#include "app/MainWindow.h"
#include "panels/PlugView.h"
#include "protocol/NodeMap.h"

#include "TestSupport.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QMap>
#include <QNetworkInterface>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QToolBar>

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <unistd.h>

#include <functional>

using TestSupport::hex;

namespace {

bool run(const QString &program, const QStringList &arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program, arguments);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

bool ip(const QString &arguments) {
    return run(QStringLiteral("ip"), arguments.split(QLatin1Char(' ')));
}

// Written through /proc/sys/net, which shows the namespace of the caller.
bool writeSysctl(const QString &path, const QByteArray &value) {
    QFile file(QStringLiteral("/proc/sys/") + path);
    return file.open(QIODevice::WriteOnly) && file.write(value) == value.size();
}

// The kernel's own index, asked past Qt, so the box is checked against the system.
int kernelIndex(const QString &name) {
    return int(if_nametoindex(name.toLatin1().constData()));
}

bool hasIPv6(const QString &name) {
    const QList<QNetworkAddressEntry> entries =
        QNetworkInterface::interfaceFromName(name).addressEntries();
    return std::any_of(entries.begin(), entries.end(), [](const QNetworkAddressEntry &entry) {
        return entry.ip().protocol() == QAbstractSocket::IPv6Protocol;
    });
}

// "net:[4026532238]": the same text for processes in the same namespace.
QByteArray namespaceOf(const QString &pid) {
    char target[64] = {};
    const ssize_t length =
        readlink(QStringLiteral("/proc/%1/ns/net").arg(pid).toLatin1().constData(), target,
                 sizeof target - 1);
    return length > 0 ? QByteArray(target, int(length)) : QByteArray();
}

// Runs `work` with this thread in another network namespace and comes back;
// sockets it binds stay in that namespace.
bool inNamespace(const QString &pid, const std::function<void()> &work) {
    const int home = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    const int away = open(QStringLiteral("/proc/%1/ns/net").arg(pid).toLatin1().constData(),
                          O_RDONLY | O_CLOEXEC);
    const bool entered = home >= 0 && away >= 0 && setns(away, CLONE_NEWNET) == 0;
    if (entered) {
        work();
        if (setns(home, CLONE_NEWNET) != 0)
            qFatal("cannot return to the test's own network namespace");
    }
    if (home >= 0)
        close(home);
    if (away >= 0)
        close(away);
    return entered;
}

} // namespace

class TestUserNetwork : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void boxListsTheUsableInterfaces();
    void chosenInterfaceCarriesProbeAnswerAndCommand_data();
    void chosenInterfaceCarriesProbeAnswerAndCommand();

private:
    // Adds a veth link whose other end lives in the far namespace.
    bool addLink(const QString &name);
    // What reached port 40000 here (loopback copies) or on the far side.
    QList<QNetworkDatagram> collect(QUdpSocket &socket);

    QProcess farSide;
    QString farPid;
    // Our end of each link -> the index of its other end on the far side.
    QMap<QString, int> farIndex;
    QUdpSocket loopbackCopies;
    QUdpSocket node; // bound on the far side
};

bool TestUserNetwork::addLink(const QString &name) {
    const QString peer = QStringLiteral("peer%1").arg(farIndex.size() + 1);
    if (!ip(QStringLiteral("link add %1 type veth peer name %2 netns %3")
                .arg(name, peer, farPid)) ||
        !ip(QStringLiteral("link set %1 up").arg(name)))
        return false;
    bool up = false;
    inNamespace(farPid, [&] {
        up = ip(QStringLiteral("link set %1 up").arg(peer));
        farIndex.insert(name, kernelIndex(peer));
    });
    return up;
}

void TestUserNetwork::initTestCase() {
    if (!TestSupport::inPrivateNetwork())
        QSKIP("needs a private network namespace to add interfaces in (tests/isolated.sh)");

    // The far ends of the links: a namespace held open by a sleeping process.
    farSide.start(QStringLiteral("unshare"),
                  {QStringLiteral("--net"), QStringLiteral("sleep"), QStringLiteral("300")});
    QVERIFY(farSide.waitForStarted());
    farPid = QString::number(farSide.processId());
    const QByteArray ours = namespaceOf(QStringLiteral("self"));
    QVERIFY(!ours.isEmpty());
    QTRY_VERIFY(!namespaceOf(farPid).isEmpty() && namespaceOf(farPid) != ours);

    // Addresses usable at once on both sides, as on a network that has been
    // up for a while.
    bool farReady = false;
    QVERIFY(inNamespace(farPid, [&] {
        farReady = writeSysctl(QStringLiteral("net/ipv6/conf/default/accept_dad"), "0") &&
                   node.bind(QHostAddress::AnyIPv6, 40000);
    }));
    QVERIFY(farReady);
    QVERIFY(writeSysctl(QStringLiteral("net/ipv6/conf/all/accept_dad"), "0"));
    QVERIFY(writeSysctl(QStringLiteral("net/ipv6/conf/default/accept_dad"), "0"));

    // Created out of name order: the box keeps the system's order.
    QVERIFY(addLink(QStringLiteral("wlp2s0")));
    QVERIFY(addLink(QStringLiteral("enp3s0")));
    QVERIFY(ip(QStringLiteral("link add br0 type bridge")));
    QVERIFY(addLink(QStringLiteral("enp4s0")));
    QVERIFY(ip(QStringLiteral("link set enp4s0 master br0")));
    QVERIFY(ip(QStringLiteral("link set br0 up")));

    // An IPv4-only VPN tunnel: a tun device where the kernel has one, else a
    // link whose IPv6 is switched off.
    if (ip(QStringLiteral("tuntap add dev tun0 mode tun")))
        QVERIFY(ip(QStringLiteral("link set tun0 up")));
    else
        QVERIFY(addLink(QStringLiteral("tun0")));
    QVERIFY(writeSysctl(QStringLiteral("net/ipv6/conf/tun0/disable_ipv6"), "1"));
    QVERIFY(ip(QStringLiteral("addr add 192.0.2.2/24 dev tun0")));

    // eth0, never listed, and the way round that: a macvlan interface of
    // another name on the same link.
    QVERIFY(addLink(QStringLiteral("eth0")));
    QVERIFY(ip(QStringLiteral("link add lan0 link eth0 type macvlan mode bridge")));
    QVERIFY(ip(QStringLiteral("link set lan0 up")));

    // The kernel's link-local addresses; the bridge gets its own once its
    // member has a carrier.
    for (const char *name : {"wlp2s0", "enp3s0", "br0", "enp4s0", "eth0", "lan0"})
        QTRY_VERIFY_WITH_TIMEOUT(hasIPv6(QLatin1String(name)), 10000);

    QVERIFY2(loopbackCopies.bind(QHostAddress::AnyIPv6, 40000, QUdpSocket::ShareAddress),
             qPrintable(loopbackCopies.errorString()));
}

void TestUserNetwork::cleanupTestCase() {
    if (farSide.state() != QProcess::NotRunning) {
        farSide.kill();
        farSide.waitForFinished();
    }
}

void TestUserNetwork::init() {
    // Probes of an earlier case that stopped half-way.
    collect(loopbackCopies);
    collect(node);
}

void TestUserNetwork::cleanup() {
    NodeMap.clear(); // the window and its panels are gone
}

QList<QNetworkDatagram> TestUserNetwork::collect(QUdpSocket &socket) {
    QTest::qWait(300);
    QList<QNetworkDatagram> datagrams;
    while (socket.hasPendingDatagrams())
        datagrams.append(socket.receiveDatagram());
    return datagrams;
}

void TestUserNetwork::boxListsTheUsableInterfaces() {
    MainWindow_t window;
    auto *box = window.findChild<QComboBox *>();
    QVERIFY(box);

    // Not lo (loopback), not tun0 (no IPv6), not eth0 (never listed); the
    // bridge member keeps its own link-local address and so is listed too.
    const QStringList expected = {QStringLiteral("wlp2s0"), QStringLiteral("enp3s0"),
                                  QStringLiteral("br0"), QStringLiteral("enp4s0"),
                                  QStringLiteral("lan0")};
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts.append(box->itemText(i));
    QCOMPARE(texts, expected);
    for (int i = 0; i < box->count(); ++i) {
        QCOMPARE(box->itemData(i, Qt::UserRole).toString(),
                 QString::number(kernelIndex(expected[i])));
    }
    QCOMPARE(window._InterfaceName(), QString::number(kernelIndex(expected[0])));

    // Left out for the right reasons: they are there, eth0 with IPv6, the
    // tunnel with IPv4 only.
    QVERIFY(hasIPv6(QStringLiteral("eth0")));
    const QList<QNetworkAddressEntry> tunnel =
        QNetworkInterface::interfaceFromName(QStringLiteral("tun0")).addressEntries();
    QCOMPARE(tunnel.size(), 1);
    QCOMPARE(tunnel[0].ip(), QHostAddress(QStringLiteral("192.0.2.2")));
}

void TestUserNetwork::chosenInterfaceCarriesProbeAnswerAndCommand_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("link"); // our veth end that the probe crosses
    QTest::addColumn<bool>("commandArrives");

    QTest::newRow("wlp2s0") << "wlp2s0"
                            << "wlp2s0" << true;
    QTest::newRow("enp3s0") << "enp3s0"
                            << "enp3s0" << true;
    QTest::newRow("br0") << "br0"
                         << "enp4s0" << true;
    // The probe leaves on the member, and the answer comes in through the
    // bridge, which takes what its members receive: the panel keeps the
    // bridge's scope, and its commands go out there and arrive.
    QTest::newRow("bridge member enp4s0") << "enp4s0"
                                          << "enp4s0" << true;
    QTest::newRow("lan0, a macvlan on eth0") << "lan0"
                                             << "eth0" << true;
}

void TestUserNetwork::chosenInterfaceCarriesProbeAnswerAndCommand() {
    QFETCH(QString, name);
    QFETCH(QString, link);
    QFETCH(bool, commandArrives);
    const int index = kernelIndex(name);

    MainWindow_t window;
    auto *box = window.findChild<QComboBox *>();
    QList<QNetworkDatagram> copies = collect(loopbackCopies);
    // The constructor's probe goes out on the first item only.
    QCOMPARE(copies.size(), 1);
    QCOMPARE(int(copies[0].interfaceIndex()), box->itemData(0).toString().toInt());
    collect(node);

    const int item = box->findText(name);
    QVERIFY(item >= 0);
    if (item == box->currentIndex())
        window.findChild<QToolBar *>()->actions()[1]->trigger(); // "Scan"
    else
        box->setCurrentIndex(item);
    QCOMPARE(window._InterfaceName(), QString::number(index));

    copies = collect(loopbackCopies);
    QCOMPARE(copies.size(), 1);
    QCOMPARE(int(copies[0].interfaceIndex()), index);

    // It reaches the node side once, over the chosen link.
    const QList<QNetworkDatagram> probes = collect(node);
    QCOMPARE(probes.size(), 1);
    const QNetworkDatagram &probe = probes[0];
    QCOMPARE(int(probe.interfaceIndex()), farIndex.value(link));
    QCOMPARE(probe.data(), hex("00 01 02 03 04 05 06 07 08 09"));
    QCOMPARE(probe.senderPort(), 4444);
    QVERIFY(probe.senderAddress().isLinkLocal());
    QHostAddress destination = probe.destinationAddress();
    destination.setScopeId(QString());
    QCOMPARE(destination, QHostAddress(QStringLiteral("ff02::1")));

    // The node answers the probe's sender with a plug report; the scope is
    // the far side's index, given as a number so nothing looks a name up here.
    QHostAddress sender = probe.senderAddress();
    sender.setScopeId(QString::number(farIndex.value(link)));
    const QByteArray report = hex("C0 10 01 00 00");
    QCOMPARE(node.writeDatagram(report, sender, 4444), qint64(report.size()));
    QTRY_COMPARE(window.findChildren<PlugView_t *>().size(), 1);
    QCOMPARE(NodeMap.size(), 1);

    // Its panel's command reaches it over the same link.
    auto *panel = window.findChildren<PlugView_t *>().first();
    auto *switchButton = panel->findChild<QPushButton *>();
    QVERIFY(switchButton);
    switchButton->click();
    if (!commandArrives) {
        // Neighbour discovery gives up after three solicitations, a second apart.
        QTest::qWait(4000);
        QCOMPARE(collect(node).size(), 0);
        return;
    }
    QTRY_VERIFY(node.hasPendingDatagrams());
    const QList<QNetworkDatagram> commands = collect(node);
    QCOMPARE(commands.size(), 1);
    QCOMPARE(commands[0].data(), hex("C0 10 01"));
    QCOMPARE(int(commands[0].interfaceIndex()), farIndex.value(link));
}

QTEST_MAIN(TestUserNetwork)
#include "tst_usernetwork.moc"
