// The interface box and the probe on the kind of network a user's machine
// has: loopback, a wired and a "wireless" interface, a bridge with a member,
// an IPv4-only VPN tunnel and an interface named eth0. The far ends of the
// links live in a second network namespace, so this namespace looks like a
// desktop machine and a probe's only local copy is the multicast loopback
// copy on the interface it left by.

#include "app/MainWindow.h"

#include "TestSupport.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QNetworkInterface>
#include <QProcess>
#include <QTest>
#include <QToolBar>

#include <net/if.h>

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

QByteArray namespaceOf(const QString &pid) {
    return QFile::symLinkTarget(QStringLiteral("/proc/%1/ns/net").arg(pid)).toLatin1();
}

} // namespace

class TestUserNetwork : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void boxListsTheUsableInterfaces();
    void probeLeavesOnTheChosenInterface_data();
    void probeLeavesOnTheChosenInterface();

private:
    // Adds a veth link whose other end lives in the far namespace.
    bool addLink(const QString &name);
    // Everything that reached port 40000 since the last call.
    QList<QNetworkDatagram> collect();

    QProcess farSide;
    QString farPid;
    int peers = 0;
    QUdpSocket node;
    bool tunnelIsTun = false;
};

bool TestUserNetwork::addLink(const QString &name) {
    const QString peer = QStringLiteral("peer%1").arg(++peers);
    return ip(QStringLiteral("link add %1 type veth peer name %2 netns %3")
                  .arg(name, peer, farPid)) &&
           run(QStringLiteral("nsenter"),
               {QStringLiteral("--net=/proc/%1/ns/net").arg(farPid), QStringLiteral("ip"),
                QStringLiteral("link"), QStringLiteral("set"), peer, QStringLiteral("up")}) &&
           ip(QStringLiteral("link set %1 up").arg(name));
}

void TestUserNetwork::initTestCase() {
    if (!TestSupport::inPrivateNetwork())
        QSKIP("needs a private network namespace to add interfaces in (tests/isolated.sh)");

    // The far ends of the links: a namespace held open by a sleeping process.
    farSide.start(QStringLiteral("unshare"),
                  {QStringLiteral("--net"), QStringLiteral("sleep"), QStringLiteral("300")});
    QVERIFY(farSide.waitForStarted());
    farPid = QString::number(farSide.processId());
    QTRY_VERIFY(namespaceOf(farPid) != namespaceOf(QStringLiteral("self")));

    // Addresses usable at once, as on a machine that has been up for a while.
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
    tunnelIsTun = ip(QStringLiteral("tuntap add dev tun0 mode tun"));
    if (tunnelIsTun)
        QVERIFY(ip(QStringLiteral("link set tun0 up")));
    else
        QVERIFY(addLink(QStringLiteral("tun0")));
    QVERIFY(writeSysctl(QStringLiteral("net/ipv6/conf/tun0/disable_ipv6"), "1"));
    QVERIFY(ip(QStringLiteral("addr add 192.0.2.2/24 dev tun0")));

    QVERIFY(addLink(QStringLiteral("eth0")));

    // Wait for the kernel's link-local addresses: the bridge gets its own once
    // its member has a carrier.
    for (const char *name : {"wlp2s0", "enp3s0", "br0", "enp4s0", "eth0"}) {
        QTRY_VERIFY_WITH_TIMEOUT(hasIPv6(QLatin1String(name)), 10000);
    }

    QVERIFY(node.bind(QHostAddress::AnyIPv6, 40000, QUdpSocket::ShareAddress));
}

void TestUserNetwork::cleanupTestCase() {
    if (farSide.state() != QProcess::NotRunning) {
        farSide.kill();
        farSide.waitForFinished();
    }
}

void TestUserNetwork::init() {
    collect(); // probes of an earlier case that stopped half-way
}

QList<QNetworkDatagram> TestUserNetwork::collect() {
    QTest::qWait(300);
    QList<QNetworkDatagram> datagrams;
    while (node.hasPendingDatagrams())
        datagrams.append(node.receiveDatagram());
    return datagrams;
}

void TestUserNetwork::boxListsTheUsableInterfaces() {
    MainWindow_t window;
    auto *box = window.findChild<QComboBox *>();
    QVERIFY(box);

    // Not lo (loopback), not tun0 (no IPv6), not eth0 (never listed); the
    // bridge member keeps its own link-local address and so is listed too.
    const QStringList expected = {QStringLiteral("wlp2s0"), QStringLiteral("enp3s0"),
                                  QStringLiteral("br0"), QStringLiteral("enp4s0")};
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

void TestUserNetwork::probeLeavesOnTheChosenInterface_data() {
    QTest::addColumn<QString>("name");
    for (const char *name : {"wlp2s0", "enp3s0", "br0", "enp4s0"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestUserNetwork::probeLeavesOnTheChosenInterface() {
    QFETCH(QString, name);
    const int index = kernelIndex(name);

    MainWindow_t window;
    auto *box = window.findChild<QComboBox *>();
    QList<QNetworkDatagram> probes = collect();
    // The constructor's probe goes out on the first item only.
    QCOMPARE(probes.size(), 1);
    QCOMPARE(int(probes[0].interfaceIndex()), box->itemData(0).toString().toInt());

    const int item = box->findText(name);
    QVERIFY(item >= 0);
    if (item == box->currentIndex())
        window.findChild<QToolBar *>()->actions()[1]->trigger(); // "Scan"
    else
        box->setCurrentIndex(item);
    QCOMPARE(window._InterfaceName(), QString::number(index));

    probes = collect();
    QCOMPARE(probes.size(), 1);
    QCOMPARE(int(probes[0].interfaceIndex()), index);
    QCOMPARE(probes[0].data(), hex("00 01 02 03 04 05 06 07 08 09"));
    QCOMPARE(probes[0].senderPort(), 4444);
    QVERIFY(probes[0].senderAddress().isLinkLocal());
    QHostAddress destination = probes[0].destinationAddress();
    destination.setScopeId(QString());
    QCOMPARE(destination, QHostAddress(QStringLiteral("ff02::1")));
}

QTEST_MAIN(TestUserNetwork)
#include "tst_usernetwork.moc"
