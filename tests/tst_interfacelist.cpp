// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/InterfaceList.h"

#include "TestSupport.h"

#include <QNetworkInterface>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>

Q_DECLARE_METATYPE(QList<InterfaceDescription_t>)
Q_DECLARE_METATYPE(QList<InterfaceChoice_t>)

namespace {
constexpr auto V4 = QAbstractSocket::IPv4Protocol;
constexpr auto V6 = QAbstractSocket::IPv6Protocol;

InterfaceDescription_t interface(const char *name, int index,
                                 QList<QAbstractSocket::NetworkLayerProtocol> protocols,
                                 bool loopBack = false) {
    return {QString::fromLatin1(name), index, loopBack, protocols};
}
} // namespace

class TestInterfaceList : public QObject {
    Q_OBJECT

private slots:
    void usable_data();
    void usable();
    void realInterfaces_data();
    void realInterfaces();
};

void TestInterfaceList::usable_data() {
    QTest::addColumn<QList<InterfaceDescription_t>>("interfaces");
    QTest::addColumn<QList<InterfaceChoice_t>>("choices");

    QTest::newRow("eth0 skipped, ETH0 and eth1 kept")
        << QList<InterfaceDescription_t>{interface("eth0", 2, {V6}), interface("ETH0", 3, {V6}),
                                         interface("eth1", 4, {V6})}
        << QList<InterfaceChoice_t>{{"ETH0", "3"}, {"eth1", "4"}};
    QTest::newRow("several IPv6 addresses listed once")
        << QList<InterfaceDescription_t>{interface("br0", 7, {V4, V6, V6, V6})}
        << QList<InterfaceChoice_t>{{"br0", "7"}};
    QTest::newRow("order kept, index in decimal")
        << QList<InterfaceDescription_t>{interface("lo", 1, {V6}, true),
                                         interface("wlp3s0", 12, {V6, V4}),
                                         interface("enp0s31f6", 345, {V6})}
        << QList<InterfaceChoice_t>{{"wlp3s0", "12"}, {"enp0s31f6", "345"}};
    QTest::newRow("none at all") << QList<InterfaceDescription_t>{} << QList<InterfaceChoice_t>{};
}

void TestInterfaceList::usable() {
    QFETCH(QList<InterfaceDescription_t>, interfaces);
    QFETCH(QList<InterfaceChoice_t>, choices);
    QCOMPARE(_UsableInterfaces(interfaces), choices);
}

void TestInterfaceList::realInterfaces_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<bool>("listed");

    QTest::newRow("loopback") << "lo" << QStringList{"2001:db8::9/128"} << false;
    QTest::newRow("link-local") << "t36a" << QStringList{"fe80::a:1/64"} << true;
    QTest::newRow("IPv4 and global")
        << "t36b" << QStringList{"192.0.2.1/24", "2001:db8::1/64"} << true;
    QTest::newRow("IPv4 only") << "t36c" << QStringList{"192.0.2.2/24"} << false;
    QTest::newRow("no address") << "t36d" << QStringList{} << false;
    QTest::newRow("eth0") << "eth0" << QStringList{"fe80::e:1/64"} << false;
}

void TestInterfaceList::realInterfaces() {
    if (!TestSupport::inPrivateNetwork())
        QSKIP("needs a private network namespace to add interfaces in (tests/isolated.sh)");
    QFETCH(QString, name);
    QFETCH(QStringList, addresses);
    const auto ip = [](const QString &arguments) {
        return QProcess::execute(QStringLiteral("ip"), arguments.split(u' ')) == 0;
    };
    const auto removeLink = qScopeGuard([&] { ip(QStringLiteral("link del %1").arg(name)); });
    if (name != QLatin1String("lo"))
        QVERIFY(ip(QStringLiteral("link add %1 type veth peer name %1p").arg(name)));
    for (const QString &address : addresses)
        QVERIFY(ip(QStringLiteral("addr add %1 dev %2%3")
                       .arg(address, name, address.contains(u':') ? " nodad" : "")));

    const InterfaceChoice_t choice{
        name, QString::number(QNetworkInterface::interfaceIndexFromName(name))};
    QTEST(_UsableInterfaces(_DescribeAllInterfaces()).count(choice) == 1, "listed");
}

QTEST_GUILESS_MAIN(TestInterfaceList)
#include "tst_interfacelist.moc"
