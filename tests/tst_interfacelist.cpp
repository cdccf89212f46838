// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/InterfaceList.h"

#include <QNetworkInterface>
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
    void describesThisMachine();
};

void TestInterfaceList::usable_data() {
    QTest::addColumn<QList<InterfaceDescription_t>>("interfaces");
    QTest::addColumn<QList<InterfaceChoice_t>>("choices");

    QTest::newRow("loopback never listed")
        << QList<InterfaceDescription_t>{interface("lo", 1, {V4, V6}, true)}
        << QList<InterfaceChoice_t>{};
    QTest::newRow("eth0 skipped, ETH0 and eth1 kept")
        << QList<InterfaceDescription_t>{interface("eth0", 2, {V6}), interface("ETH0", 3, {V6}),
                                         interface("eth1", 4, {V6})}
        << QList<InterfaceChoice_t>{{"ETH0", "3"}, {"eth1", "4"}};
    QTest::newRow("IPv4 only not listed")
        << QList<InterfaceDescription_t>{interface("tun0", 5, {V4}), interface("wlan0", 6, {})}
        << QList<InterfaceChoice_t>{};
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

void TestInterfaceList::describesThisMachine() {
    // The description of a real interface carries what the rule looks at.
    for (const QNetworkInterface &real : QNetworkInterface::allInterfaces()) {
        const InterfaceDescription_t description = _Describe(real);
        QCOMPARE(description.humanReadableName, real.humanReadableName());
        QCOMPARE(description.index, real.index());
        QCOMPARE(description.isLoopBack, real.flags().testFlag(QNetworkInterface::IsLoopBack));
        QCOMPARE(description.addressProtocols.size(), real.addressEntries().size());
    }
}

QTEST_GUILESS_MAIN(TestInterfaceList)
#include "tst_interfacelist.moc"
