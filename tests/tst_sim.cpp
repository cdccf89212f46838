// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated nodes: which commands they take, what they report, and the
// simulator's command line.

#include "sim/BlindsNode.h"
#include "sim/BrightNode.h"
#include "sim/DimmerNode.h"
#include "sim/NodeFactory.h"
#include "sim/PlugNode.h"
#include "sim/SimOptions.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QtEndian>

#include <memory>

namespace {

QByteArray hex(const char *text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

std::unique_ptr<SimNode_t> makeNode(const QString &word, const QByteArray &name = "Lamp") {
    return std::unique_ptr<SimNode_t>(
        _CreateNode(*_KindFromWord(word), QHostAddress(QStringLiteral("fe80::10")), name, nullptr));
}

qint32 s32At(const QByteArray &report, int offset) {
    return qFromLittleEndian<qint32>(report.constData() + offset);
}

} // namespace

class TestSim : public QObject {
    Q_OBJECT

private slots:
    void commands_data();
    void commands();
    void firstReports_data();
    void firstReports();
    void plugTogglesAndDrifts();
    void adPlugTakesTheTargetState();
    void dimmerReportsTheLevelWithBit7();
    void blindsStopOnCommandOrByThemselves();
    void sensorConfiguration();
    void sensorReportsMovedMeasurements();
    void options_data();
    void options();
    void optionsReadNodes();
    void exitStatus_data();
    void exitStatus();
};

void TestSim::commands_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<bool>("taken");

    const QByteArray configure = hex("80 11 01") + QByteArray(12, '\0');
    QTest::newRow("plug switch") << "plug" << hex("C0 10 01") << true;
    QTest::newRow("plug, a byte more") << "plug" << hex("C0 10 01 00") << false;
    QTest::newRow("plug, header cut") << "plug" << hex("C0 10") << false;
    QTest::newRow("plug, empty") << "plug" << QByteArray() << false;
    QTest::newRow("plug, configure byte") << "plug" << hex("80 10 01") << false;
    QTest::newRow("plug, sensor's kind") << "plug" << hex("C0 11 01") << false;
    QTest::newRow("adplug on") << "adplug" << hex("C0 20 01 01") << true;
    QTest::newRow("adplug off") << "adplug" << hex("C0 20 01 00") << true;
    QTest::newRow("adplug state 2") << "adplug" << hex("C0 20 01 02") << false;
    QTest::newRow("adplug, no state") << "adplug" << hex("C0 20 01") << false;
    QTest::newRow("adplug, a byte more") << "adplug" << hex("C0 20 01 01 00") << false;
    QTest::newRow("adplug, plug's kind") << "adplug" << hex("C0 10 01 01") << false;
    QTest::newRow("bright poll") << "bright" << hex("C0 11 01") << true;
    QTest::newRow("bright configure") << "bright" << configure << true;
    QTest::newRow("bright configure, short") << "bright" << configure.left(14) << false;
    QTest::newRow("bright configure, long") << "bright" << configure + '\0' << false;
    QTest::newRow("bright, poll of 0x0112") << "bright" << hex("C0 12 01") << false;
    QTest::newRow("bright, poll with a byte more") << "bright" << hex("C0 11 01 00") << false;
    QTest::newRow("bright2, poll of 0x0111") << "bright2" << hex("C0 11 01") << true;
    QTest::newRow("bright2, poll of 0x0112") << "bright2" << hex("C0 12 01") << true;
    QTest::newRow("dimmer 0") << "dimmer" << hex("C0 30 01 01 80") << true;
    QTest::newRow("dimmer 100") << "dimmer" << hex("C0 30 01 01 E4") << true;
    QTest::newRow("dimmer 101") << "dimmer" << hex("C0 30 01 01 E5") << false;
    QTest::newRow("dimmer, bit 7 clear") << "dimmer" << hex("C0 30 01 01 28") << false;
    QTest::newRow("dimmer, subcommand 2") << "dimmer" << hex("C0 30 01 02 A8") << false;
    QTest::newRow("dimmer, no level") << "dimmer" << hex("C0 30 01 01") << false;
    QTest::newRow("blinds stop") << "blinds" << hex("C0 21 01 00") << true;
    QTest::newRow("blinds down") << "blinds" << hex("C0 21 01 01") << true;
    QTest::newRow("blinds up") << "blinds" << hex("C0 21 01 03") << true;
    QTest::newRow("blinds 2") << "blinds" << hex("C0 21 01 02") << false;
    QTest::newRow("blinds FF") << "blinds" << hex("C0 21 01 FF") << false;
    QTest::newRow("blinds, no direction") << "blinds" << hex("C0 21 01") << false;
    QTest::newRow("blinds, a byte more") << "blinds" << hex("C0 21 01 01 00") << false;
    QTest::newRow("probe") << "blinds" << hex("00 01 02 03 04 05 06 07 08 09") << false;
}

void TestSim::commands() {
    QFETCH(QString, kind);
    QFETCH(QByteArray, command);
    QFETCH(bool, taken);
    auto node = makeNode(kind);
    QCOMPARE(node->_Command(command), taken);
}

void TestSim::firstReports_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("report");

    // Name "Lamp": length 04, then 4C 61 6D 70.
    QTest::newRow("plug, on: 40 W and 44.44 W")
        << "plug" << hex("00 10 01 08 A00F0000 5C110000 04 4C616D70");
    QTest::newRow("adplug, off") << "adplug" << hex("00 20 01 09 00 00000000 00000000 04 4C616D70");
    QTest::newRow("bright, 21.5 degrees, 350")
        << "bright" << hex("00 11 01 08 D7000000 5E010000 04 4C616D70");
    QTest::newRow("bright2") << "bright2" << hex("00 12 01 08 D7000000 5E010000 04 4C616D70");
    QTest::newRow("dimmer, level 0") << "dimmer" << hex("00 30 01 01 80 04 4C616D70");
    QTest::newRow("blinds, off, no name") << "blinds" << hex("00 21 01 00");
}

void TestSim::firstReports() {
    QFETCH(QString, kind);
    auto node = makeNode(kind);
    QTEST(node->_Report(), "report");
}

void TestSim::plugTogglesAndDrifts() {
    auto node = makeNode(QStringLiteral("plug"), "Desk lamp");
    QByteArray previous = node->_Report();
    for (int i = 0; i < 50; ++i) {
        const QByteArray report = node->_Report();
        QCOMPARE(report.size(), 12 + 1 + 9);
        const qint32 real = s32At(report, 4);
        QVERIFY2(real >= 3500 && real <= 4500, qPrintable(QString::number(real)));
        QVERIFY(real != s32At(previous, 4));
        QCOMPARE(s32At(report, 8), real * 10 / 9);
        QCOMPARE(report.mid(12), QByteArray("\x09"
                                            "Desk lamp"));
        previous = report;
    }

    QVERIFY(node->_Command(hex("C0 10 01")));
    QCOMPARE(node->_Report(), hex("00 10 01 00 09") + "Desk lamp");
    QVERIFY(node->_Command(hex("C0 10 01")));
    QCOMPARE(node->_Report().at(3), char(8));
}

void TestSim::adPlugTakesTheTargetState() {
    auto node = makeNode(QStringLiteral("adplug"));
    QVERIFY(node->_Command(hex("C0 20 01 01")));
    // 115 W, apparent at a power factor of 0.95.
    QCOMPARE(node->_Report(), hex("00 20 01 09 01 EC2C0000 492F0000 04 4C616D70"));
    QVERIFY(node->_Command(hex("C0 20 01 01"))); // a target state, not a toggle
    QCOMPARE(node->_Report().at(4), char(1));
    QVERIFY(node->_Command(hex("C0 20 01 00")));
    QCOMPARE(node->_Report(), hex("00 20 01 09 00 00000000 00000000 04 4C616D70"));
    QVERIFY(!node->_Command(hex("C0 20 01 05")));
    QCOMPARE(node->_Report().at(4), char(0));
}

void TestSim::dimmerReportsTheLevelWithBit7() {
    auto node = makeNode(QStringLiteral("dimmer"));
    QVERIFY(node->_Command(hex("C0 30 01 01 A8")));
    QCOMPARE(node->_Report(), hex("00 30 01 01 A8 04 4C616D70"));
    QVERIFY(!node->_Command(hex("C0 30 01 01 FF")));
    QCOMPARE(node->_Report().at(4), char(0xA8));
}

void TestSim::blindsStopOnCommandOrByThemselves() {
    BlindsNode_t node(QHostAddress(QStringLiteral("fe80::15")), "Blinds");
    QSignalSpy reportDue(&node, &SimNode_t::_ReportDue);

    QVERIFY(node._Command(hex("C0 21 01 03")));
    QCOMPARE(node._Report(), hex("00 21 01 03"));
    QVERIFY(node._Command(hex("C0 21 01 01"))); // turns round
    QCOMPARE(node._Report(), hex("00 21 01 01"));
    node._Arrive();
    QCOMPARE(node._Report(), hex("00 21 01 00"));
    QCOMPARE(reportDue.size(), 1);

    QVERIFY(node._Command(hex("C0 21 01 03")));
    QVERIFY(node._Command(hex("C0 21 01 00")));
    QCOMPARE(node._Report(), hex("00 21 01 00"));
    node._Arrive(); // already stopped: nothing to report
    QCOMPARE(reportDue.size(), 1);
}

void TestSim::sensorConfiguration() {
    BrightNode_t node(Ternix36::KindBright, QHostAddress(QStringLiteral("fe80::12")), "Hall");
    QVERIFY(node._Command(hex("80 11 01 02 00 01 00 1E 00 00 00 04 00 00 00")));
    QCOMPARE(node._Configuration().measureInterval, 2);
    QCOMPARE(node._Configuration().pollInterval, 1);
    QCOMPARE(node._Configuration().deltaTemperature, 30);
    QCOMPARE(node._Configuration().deltaBrightness, 4);
    QVERIFY(node._PollsByItself());

    QVERIFY(node._Command(hex("80 11 01 FF FF 00 00 F6 FF FF FF FF FF FF FF")));
    QCOMPARE(node._Configuration().measureInterval, 65535);
    QCOMPARE(node._Configuration().pollInterval, 0);
    QCOMPARE(node._Configuration().deltaTemperature, -10);
    QCOMPARE(node._Configuration().deltaBrightness, -1);
    QVERIFY(!node._PollsByItself());
}

void TestSim::sensorReportsMovedMeasurements() {
    BrightNode_t node(Ternix36::KindBright2, QHostAddress(QStringLiteral("fe80::13")), "Porch");
    QSignalSpy reportDue(&node, &SimNode_t::_ReportDue);

    // Without deltas a measurement is only kept for the next report.
    QVERIFY(node._Command(hex("80 11 01 05 00 00 00 00 00 00 00 00 00 00 00")));
    const QByteArray before = node._Report();
    node._Measure();
    QCOMPARE(reportDue.size(), 0);
    const QByteArray measured = node._Report();
    QVERIFY(measured.mid(8, 4) != before.mid(8, 4));
    QCOMPARE(node._Report(), measured); // no fresh measurement per report now

    // A brightness delta of 1: every measurement moves enough.
    QVERIFY(node._Command(hex("80 11 01 05 00 00 00 00 00 00 00 01 00 00 00")));
    node._Report();
    node._Measure();
    QCOMPARE(reportDue.size(), 1);
}

void TestSim::options_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error"); // a part of it; empty: accepted

    const QString i = QStringLiteral("--interface");
    const QString n = QStringLiteral("--node");
    QTest::newRow("one node") << QStringList{i, "t0", n, "plug@fe80::1"} << "";
    QTest::newRow("= forms") << QStringList{"--interface=t0", "--node=dimmer@fe80::1=Hall light",
                                            "--log=x.log", "--report-every=0.5"}
                             << "";
    QTest::newRow("help") << QStringList{"--help"} << "";
    QTest::newRow("no interface") << QStringList{n, "plug@fe80::1"} << "--interface is missing";
    QTest::newRow("no node") << QStringList{i, "t0"} << "no --node";
    QTest::newRow("unknown kind") << QStringList{i, "t0", n, "lamp@fe80::1"}
                                  << "unknown kind \"lamp\"";
    QTest::newRow("no @") << QStringList{i, "t0", n, "plug"} << "KIND@ADDRESS";
    QTest::newRow("bad address") << QStringList{i, "t0", n, "plug@fe80::zz"} << "not an IPv6";
    QTest::newRow("IPv4") << QStringList{i, "t0", n, "plug@10.0.0.1"} << "not an IPv6";
    QTest::newRow("multicast") << QStringList{i, "t0", n, "plug@ff02::1"} << "not an IPv6";
    QTest::newRow("scoped") << QStringList{i, "t0", n, "plug@fe80::1%t0"} << "without a scope";
    QTest::newRow("same address twice")
        << QStringList{i, "t0", n, "plug@fe80::1", n, "dimmer@fe80:0::1"} << "two nodes";
    QTest::newRow("name of 128") << QStringList{i, "t0", n, "plug@fe80::1=" + QString(128, 'x')}
                                 << "longer than 127";
    QTest::newRow("name not Latin-1")
        << QStringList{i, "t0", n, QString::fromUtf8("plug@fe80::1=\u03a9")} << "Latin-1";
    QTest::newRow("report every 0")
        << QStringList{i, "t0", n, "plug@fe80::1", "--report-every", "0"} << "--report-every 0";
    QTest::newRow("report every abc")
        << QStringList{i, "t0", n, "plug@fe80::1", "--report-every", "abc"} << "--report-every abc";
    QTest::newRow("unknown option")
        << QStringList{i, "t0", n, "plug@fe80::1", "--verbose"} << "unknown argument \"--verbose\"";
    QTest::newRow("missing value") << QStringList{i, "t0", n} << "--node needs a value";
    QTest::newRow("silent after, node given later")
        << QStringList{i, "t0", "--silent-after", "20@fe80::1", n, "plug@fe80::1"} << "";
    QTest::newRow("silent after, no such node")
        << QStringList{i, "t0", n, "plug@fe80::1", "--silent-after", "20@fe80::2"}
        << "no --node at fe80::2";
    QTest::newRow("silent after, no address")
        << QStringList{i, "t0", n, "plug@fe80::1", "--silent-after", "20"} << "SECONDS@ADDRESS";
    QTest::newRow("silent after, negative")
        << QStringList{i, "t0", n, "plug@fe80::1", "--silent-after", "-1@fe80::1"}
        << "SECONDS@ADDRESS";
}

void TestSim::options() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    SimOptions_t options;
    QString reason;
    const bool accepted = _ParseSimOptions(arguments, options, &reason);
    QVERIFY2(accepted == error.isEmpty(), qPrintable(reason));
    if (!accepted) {
        QVERIFY2(reason.contains(error), qPrintable(reason));
        QVERIFY(!reason.contains(QLatin1Char('\n')));
    }
}

void TestSim::optionsReadNodes() {
    SimOptions_t options;
    QString error;
    QVERIFY(_ParseSimOptions({"--interface", "t36sim0", "--node", "bright2@FE80::13", "--node",
                              "blinds@fe80::15=Bedroom = east", "--report-every", "2.5",
                              "--silent-after", "0.5@fe80::15"},
                             options, &error));
    QCOMPARE(options.interfaceName, QStringLiteral("t36sim0"));
    QCOMPARE(options.reportEveryMs, 2500);
    QCOMPARE(options.nodes.size(), 2);
    QCOMPARE(options.nodes[0].kind, Ternix36::KindBright2);
    QCOMPARE(options.nodes[0].address, QHostAddress(QStringLiteral("fe80::13")));
    QCOMPARE(options.nodes[0].name, QByteArray("bright2")); // the kind word by default
    QCOMPARE(options.nodes[1].kind, Ternix36::KindBlinds);
    QCOMPARE(options.nodes[1].name, QByteArray("Bedroom = east"));
    QCOMPARE(options.nodes[0].silentAfterMs, -1);
    QCOMPARE(options.nodes[1].silentAfterMs, 500);
}

void TestSim::exitStatus_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");

    QTest::newRow("help") << QStringList{"--help"} << 0;
    QTest::newRow("bad argument") << QStringList{"--interface"} << 2;
    QTest::newRow("no such interface")
        << QStringList{"--interface", "t36none", "--node", "plug@fe80::1"} << 2;
    QTest::newRow("address not on the interface")
        << QStringList{"--interface", "lo", "--node", "plug@fe80::1"} << 1;
}

void TestSim::exitStatus() {
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QProcess sim;
    sim.start(QStringLiteral(SIM_PROGRAM), arguments);
    QVERIFY(sim.waitForFinished(10000));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), status);
    const QByteArray errors = sim.readAllStandardError();
    if (status == 0) {
        QVERIFY(sim.readAllStandardOutput().startsWith("Usage: ternix36-sim"));
        QVERIFY(errors.isEmpty());
    } else {
        // One clear line.
        QVERIFY2(errors.startsWith("ternix36-sim: ") && errors.count('\n') == 1, errors);
    }
}

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"
