// SPDX-License-Identifier: GPL-3.0-or-later
// The bridge's command line: what each option turns into, and what it refuses.

#include "bridge/BridgeOptions.h"

#include <QTemporaryFile>
#include <QTest>

class TestBridgeOptions : public QObject {
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void passwordFile();
};

void TestBridgeOptions::parse_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("accepted");
    // host:port tls base prefix probe interfaces bridge-id max-nodes, when accepted
    QTest::addColumn<QString>("result");

    const QStringList interface = {"--interface", "enp3s0"};
    QTest::newRow("defaults") << interface << true
                              << "localhost:1883 plain ternix36 homeassistant 60 enp3s0 pi4 3000";
    QTest::newRow("mqtt port") << interface + QStringList{"--broker", "mqtt://hub.lan:1884"} << true
                               << "hub.lan:1884 plain ternix36 homeassistant 60 enp3s0 pi4 3000";
    QTest::newRow("mqtts default port")
        << interface + QStringList{"--broker", "mqtts://hub.lan", "--ca-file", "/etc/ca.pem"}
        << true << "hub.lan:8883 tls ternix36 homeassistant 60 enp3s0 pi4 3000";
    QTest::newRow("client certificate")
        << interface +
               QStringList{"--broker", "mqtts://hub.lan", "--cert", "c.pem", "--key", "k.pem"}
        << true << "hub.lan:8883 tls ternix36 homeassistant 60 enp3s0 pi4 3000";
    QTest::newRow("ipv6 broker") << interface + QStringList{"--broker", "mqtt://[fd00::1]:1883"}
                                 << true
                                 << "fd00::1:1883 plain ternix36 homeassistant 60 enp3s0 pi4 3000";
    QTest::newRow("topics and probe")
        << interface + QStringList{"--base-topic", "home/t36",      "--discovery-prefix",
                                   "ha",           "--probe-every", "5"}
        << true << "localhost:1883 plain home/t36 ha 5 enp3s0 pi4 3000";
    QTest::newRow("a site") << QStringList{"--interface", "enp3s0",   "--interface", "eth0.10",
                                           "--bridge-id", "barn.lan", "--max-nodes", "20"}
                            << true
                            << "localhost:1883 plain ternix36 homeassistant 60 enp3s0,eth0.10 "
                               "barn.lan 20";
    QTest::newRow("interface twice")
        << QStringList{"--interface", "eth0", "--interface", "eth0"} << false << "";
    QTest::newRow("wildcard interface") << QStringList{"--interface", "eth+"} << false << "";
    QTest::newRow("bridge id with a level")
        << interface + QStringList{"--bridge-id", "barn/1"} << false << "";
    QTest::newRow("no nodes") << interface + QStringList{"--max-nodes", "0"} << false << "";
    QTest::newRow("cert without key")
        << interface + QStringList{"--broker", "mqtts://hub", "--cert", "c.pem"} << false << "";
    QTest::newRow("key without tls")
        << interface + QStringList{"--cert", "c.pem", "--key", "k.pem"} << false << "";
    QTest::newRow("no interface") << QStringList{} << false << "";
    QTest::newRow("other scheme") << interface + QStringList{"--broker", "http://hub"} << false
                                  << "";
    QTest::newRow("user in url") << interface + QStringList{"--broker", "mqtt://u:p@hub"} << false
                                 << "";
    QTest::newRow("ca file without tls")
        << interface + QStringList{"--ca-file", "/etc/ca.pem"} << false << "";
    QTest::newRow("probe 0") << interface + QStringList{"--probe-every", "0"} << false << "";
    QTest::newRow("probe text") << interface + QStringList{"--probe-every", "often"} << false << "";
    QTest::newRow("wildcard base")
        << interface + QStringList{"--base-topic", "t36/#"} << false << "";
    QTest::newRow("trailing slash")
        << interface + QStringList{"--discovery-prefix", "ha/"} << false << "";
    QTest::newRow("password without user")
        << interface + QStringList{"--password-file", "/dev/null"} << false << "";
    QTest::newRow("stray argument") << interface + QStringList{"extra"} << false << "";
}

void TestBridgeOptions::parse() {
    QFETCH(QStringList, arguments);
    QFETCH(bool, accepted);
    QFETCH(QString, result);

    BridgeOptions_t options;
    QString error, helpText;
    bool help = true;
    const bool ok = BridgeOptions_t::_Parse(QStringList{"ternix36-bridge"} + arguments, "pi4",
                                            &options, &error, &help, &helpText);
    QCOMPARE(ok, accepted);
    QVERIFY(!help);
    QCOMPARE(error.isEmpty(), accepted);
    if (!ok)
        return;
    QCOMPARE(QStringLiteral("%1:%2 %3 %4 %5 %6 %7 %8 %9")
                 .arg(options.brokerHost)
                 .arg(options.brokerPort)
                 .arg(options.tls ? "tls" : "plain", options.baseTopic, options.discoveryPrefix)
                 .arg(options.probeEverySeconds)
                 .arg(options.interfaceNames.join(u','), options.bridgeId)
                 .arg(options.maxNodes),
             result);
}

void TestBridgeOptions::passwordFile() {
    QTemporaryFile file;
    QVERIFY(file.open());
    file.write("s3cret pass\r\nsecond line\n");
    file.close();
    BridgeOptions_t options;
    QString error, helpText;
    bool help = false;
    QVERIFY(BridgeOptions_t::_Parse({"ternix36-bridge", "--interface", "lo", "--username", "ha",
                                     "--password-file", file.fileName()},
                                    "pi4", &options, &error, &help, &helpText));
    QCOMPARE(options.username, QStringLiteral("ha"));
    QCOMPARE(options.password, QStringLiteral("s3cret pass"));
    QVERIFY(!BridgeOptions_t::_Parse({"ternix36-bridge", "--interface", "lo", "--username", "ha",
                                      "--password-file", file.fileName() + ".missing"},
                                     "pi4", &options, &error, &help, &helpText));
}

QTEST_GUILESS_MAIN(TestBridgeOptions)
#include "tst_bridgeoptions.moc"
