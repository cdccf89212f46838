// SPDX-License-Identifier: GPL-3.0-or-later
// ternix36-bridge as a hub sees it: Debian's mosquitto on free ports of this
// test's private namespace (plain, TLS, and TLS with client certificates),
// bridges on the two test links to the simulators, nodes of our own on the
// first link (LinkNode.h), and mosquitto_sub and mosquitto_pub for the hub's
// side. The simulators' logs show what reached the nodes. Every test starts
// the bridges it needs, each with an id of its own, so that no test reads
// another's topics.

#include "LinkNode.h"
#include "SimLog.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include <atomic>
#include <csignal>
#include <memory>
#include <optional>
#include <thread>
#include <unistd.h>

namespace {

constexpr int Timeout = 15000;
// Home Assistant is promised removals and republishing within this.
constexpr int PromisedMs = 5000;
const QString Link1 = qEnvironmentVariable("TERNIX36_LINK_IF");
const QString Link2 = qEnvironmentVariable("TERNIX36_LINK2_IF");
const QByteArray Origin = "{\"name\":\"ternix36-bridge\",\"sw_version\":\"" TERNIX36_VERSION
                          "\",\"support_url\":\"https://ternix36-control.example.org/\"}";

QString program(const char *name) {
    return QStandardPaths::findExecutable(QLatin1String(name),
                                          {"/usr/sbin", "/usr/bin", "/sbin", "/bin"});
}

QJsonObject json(const QByteArray &text) {
    return QJsonDocument::fromJson(text).object();
}

struct Bridge {
    QString id;
    QStringList arguments;
    QProcess process;
    QByteArray log;
};

} // namespace

class TestBridge : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void discovery_data();
    void discovery();
    void nothingIsSentUnasked();
    void statesFollowReports_data();
    void statesFollowReports();
    void reportsAsTheyCame_data();
    void reportsAsTheyCame();
    void commandsReachTheNodes_data();
    void commandsReachTheNodes();
    void dimmerLevelsAreRateLimited();
    void garbageSendsNothing();
    void datagramsNoPanelSends_data();
    void datagramsNoPanelSends();
    void tenCommandsASecond_data();
    void tenCommandsASecond();
    void probeWhenAsked();
    void silentNodeGoesOfflineAndBack();
    void restartMarksSilentNodesOffline();
    void retainedCommandsAreNotRun();
    void removeClearsANode();
    void birthRepublishes();
    void twoBridgesShareOneBroker_data();
    void twoBridgesShareOneBroker();
    void portTaken_data();
    void portTaken();
    void floodStopsAtMaxNodes();
    void tls_data();
    void tls();
    void exampleAcl_data();
    void exampleAcl();
    void brokerOutage_data();
    void brokerOutage();
    void oneIdOneBridge();
    void floodHoldsNothingUp();
    void restartReadsBackEveryNode();
    void interfaceComesBack();
    void namesChangingFast();
    void cleanup();
    void cleanupTestCase();

private:
    void startBroker();
    void stopBroker();
    void readSubscriber();
    void publish(const QString &topic, const QStringList &lines, const QStringList &options = {});
    // The bridge "site" on both links, which most tests share.
    void siteBridge() { useBridges({{"site", {"--interface", Link1, "--interface", Link2}}}); }
    // Exactly these bridges (id, arguments), started anew unless they run already.
    void useBridges(const QList<QPair<QString, QStringList>> &wanted);
    Bridge *startBridge(const QString &id, const QStringList &arguments,
                        const QStringList &prefix = {});
    void stopBridges();
    QByteArray latest(const QString &topic) const { return messages.value(topic); }
    bool waitForTopic(const QString &topic, const std::function<bool(const QByteArray &)> &ok,
                      int timeoutMs = Timeout);
    bool waitForPayload(const QString &topic, const QByteArray &payload, int timeoutMs = Timeout) {
        return waitForTopic(
            topic, [&](const QByteArray &p) { return p == payload; }, timeoutMs);
    }
    bool waitForState(const QString &topic, const QJsonObject &part);
    // What the broker keeps for a topic now, read on the plain listener or
    // with these options; empty when nothing.
    QByteArray retained(const QString &topic, const QStringList &as = {});
    QList<QJsonObject> commands(const SimLog &log, int fromLine) const;

    QTemporaryDir work;
    quint16 port = 0;
    quint16 tlsPort = 0;
    quint16 certPort = 0;
    quint16 aclPort = 0; // users and the example ACL
    QProcess broker;
    QProcess subscriber;
    std::vector<std::unique_ptr<Bridge>> bridges;
    QHash<QString, QByteArray> messages;
    QHash<QString, int> counts; // messages seen per topic
    QByteArray subscriberBuffer;
    SimLog simLog{qEnvironmentVariable("TERNIX36_SIM_LOG")};
    SimLog sim2Log{qEnvironmentVariable("TERNIX36_SIM2_LOG")};
    const qint64 simPid = qEnvironmentVariableIntValue("TERNIX36_SIM_PID");
    int tlsRuns = 0;
};

void TestBridge::startBroker() {
    broker.setProgram(program("mosquitto"));
    broker.setArguments({"-c", work.filePath("mosquitto.conf")});
    broker.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    broker.start();
    QVERIFY(broker.waitForStarted());
    QDeadlineTimer deadline(Timeout);
    for (quint16 listener : {port, tlsPort, certPort, aclPort}) {
        for (;;) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, listener);
            if (probe.waitForConnected(200))
                break;
            QVERIFY2(!deadline.hasExpired(), "mosquitto does not listen");
            QTest::qWait(50);
        }
    }
    // Everything under both trees.
    subscriber.setProgram(program("mosquitto_sub"));
    subscriber.setArguments({"-h", "127.0.0.1", "-p", QString::number(port), "-F", "%t %p", "-t",
                             "homeassistant/#", "-t", "ternix36/#"});
    subscriber.start();
    QVERIFY(subscriber.waitForStarted());
}

void TestBridge::stopBroker() {
    for (QProcess *process : {&subscriber, &broker}) {
        process->kill();
        process->waitForFinished();
    }
    messages.clear();
    counts.clear();
    subscriberBuffer.clear();
}

void TestBridge::readSubscriber() {
    subscriberBuffer += subscriber.readAllStandardOutput();
    qsizetype end;
    while ((end = subscriberBuffer.indexOf('\n')) >= 0) {
        const QByteArray line = subscriberBuffer.left(end);
        subscriberBuffer.remove(0, end + 1);
        const qsizetype space = line.indexOf(' ');
        if (space < 0)
            continue;
        const QString topic = QString::fromUtf8(line.left(space));
        messages.insert(topic, line.mid(space + 1));
        ++counts[topic];
    }
}

void TestBridge::publish(const QString &topic, const QStringList &lines,
                         const QStringList &options) {
    QProcess publisher;
    // One message per line, or, with no lines, what the options say (-n: an empty one).
    publisher.start(program("mosquitto_pub"),
                    QStringList{"-h", "127.0.0.1", "-p", QString::number(port), "-t", topic} +
                        options + (lines.isEmpty() ? QStringList() : QStringList{"-l"}));
    QVERIFY(publisher.waitForStarted());
    if (!lines.isEmpty())
        publisher.write((lines.join(u'\n') + u'\n').toUtf8());
    publisher.closeWriteChannel();
    QVERIFY(publisher.waitForFinished());
    QCOMPARE(publisher.exitCode(), 0);
}

QByteArray TestBridge::retained(const QString &topic, const QStringList &as) {
    QProcess reader;
    reader.start(program("mosquitto_sub"),
                 QStringList{"-h", "127.0.0.1"} +
                     (as.isEmpty() ? QStringList{"-p", QString::number(port)} : as) +
                     QStringList{"-t", topic, "--retained-only", "-C", "1", "-W", "1"});
    reader.waitForFinished();
    return reader.readAllStandardOutput().trimmed();
}

Bridge *TestBridge::startBridge(const QString &id, const QStringList &arguments,
                                const QStringList &prefix) {
    auto bridge = std::make_unique<Bridge>();
    bridge->id = id;
    bridge->arguments = arguments;
    QStringList all = {"--bridge-id", id, "--probe-every", "2"};
    if (!arguments.contains("--broker"))
        all << "--broker" << QStringLiteral("mqtt://127.0.0.1:%1").arg(port);
    all += arguments;
    Bridge *raw = bridge.get();
    connect(&raw->process, &QProcess::readyReadStandardError, this,
            [raw] { raw->log += raw->process.readAllStandardError(); });
    raw->process.setWorkingDirectory(work.filePath("tls"));
    if (prefix.isEmpty())
        raw->process.start(QStringLiteral(BRIDGE_PROGRAM), all);
    else
        raw->process.start(prefix.first(), prefix.mid(1) + QStringList{BRIDGE_PROGRAM} + all);
    bridges.push_back(std::move(bridge));
    return raw;
}

void TestBridge::useBridges(const QList<QPair<QString, QStringList>> &wanted) {
    bool running = int(bridges.size()) == wanted.size();
    for (int i = 0; running && i < wanted.size(); ++i)
        running = bridges[i]->id == wanted[i].first && bridges[i]->arguments == wanted[i].second &&
                  bridges[i]->process.state() == QProcess::Running;
    if (running)
        return;
    stopBridges();
    for (const auto &[id, arguments] : wanted) {
        startBridge(id, arguments);
        QVERIFY2(waitForPayload(QStringLiteral("ternix36/%1/availability").arg(id), "online"),
                 qPrintable(id));
    }
}

void TestBridge::stopBridges() {
    for (const auto &bridge : bridges) {
        if (bridge->process.state() == QProcess::NotRunning)
            continue;
        ::kill(pid_t(bridge->process.processId()), SIGTERM);
        QVERIFY(bridge->process.waitForFinished(Timeout));
        QCOMPARE(bridge->process.exitCode(), 0);
        const QString availability = QStringLiteral("ternix36/%1/availability").arg(bridge->id);
        if (latest(availability) == "online")
            QVERIFY(waitForPayload(availability, "offline"));
    }
    bridges.clear();
}

bool TestBridge::waitForTopic(const QString &topic,
                              const std::function<bool(const QByteArray &)> &ok, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        readSubscriber();
        if (messages.contains(topic) && ok(latest(topic)))
            return true;
        if (deadline.hasExpired())
            return false;
        QTest::qWait(20);
    }
}

// Until the state holds every key of `part` with its value.
bool TestBridge::waitForState(const QString &topic, const QJsonObject &part) {
    return waitForTopic(topic, [&](const QByteArray &payload) {
        const QJsonObject state = json(payload);
        for (auto i = part.begin(); i != part.end(); ++i)
            if (state.value(i.key()) != i.value())
                return false;
        return true;
    });
}

QList<QJsonObject> TestBridge::commands(const SimLog &log, int fromLine) const {
    return log.matching(
        [](const QJsonObject &entry) {
            return entry["event"].toString() == "received" && entry["note"].toString() == "command";
        },
        fromLine);
}

void TestBridge::initTestCase() {
    QVERIFY2(!Link1.isEmpty() && !Link2.isEmpty() && simPid > 0,
             "run me through test-link.sh with two links");
    QVERIFY2(!program("mosquitto").isEmpty() && !program("mosquitto_sub").isEmpty() &&
                 !program("mosquitto_pub").isEmpty() && !program("openssl").isEmpty(),
             "mosquitto, mosquitto-clients and openssl are needed (scripts/install-deps.sh)");
    QVERIFY(work.isValid());
    QVERIFY(QDir(work.path()).mkdir("tls"));
    QCOMPARE(QProcess::execute(QStringLiteral(TLS_MATERIAL), {work.filePath("tls")}), 0);
    for (quint16 *listener : {&port, &tlsPort, &certPort, &aclPort}) {
        QTcpServer free;
        QVERIFY(free.listen(QHostAddress::LocalHost, 0));
        *listener = free.serverPort();
    }
    // One broker, three listeners; as root, mosquitto stays root to read the test's files.
    const QString tls = work.filePath("tls/");
    const QString secure = QStringLiteral("allow_anonymous true\ncafile %1ca.pem\ncertfile "
                                          "%1server.pem\nkeyfile %1server.key\n")
                               .arg(tls);
    QFile config(work.filePath("mosquitto.conf"));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write(QStringLiteral("per_listener_settings true\npersistence false\nuser root\n"
                                "log_dest file %1\nlog_type error\nlog_type warning\n"
                                "log_type notice\nlog_type information\n"
                                "listener %2 127.0.0.1\nallow_anonymous true\n"
                                "listener %3 127.0.0.1\n%4"
                                "listener %5 127.0.0.1\n%4require_certificate true\n"
                                "listener %6 127.0.0.1\nallow_anonymous false\n"
                                "password_file %7\nacl_file %8\n")
                     .arg(work.filePath("mosquitto.log"))
                     .arg(port)
                     .arg(tlsPort)
                     .arg(secure)
                     .arg(certPort)
                     .arg(aclPort)
                     .arg(work.filePath("passwords"), QStringLiteral(EXAMPLE_ACL))
                     .toUtf8());
    config.close();
    QFile password(work.filePath("password"));
    QVERIFY(password.open(QIODevice::WriteOnly));
    password.write("s3cret\n");
    password.close();
    // The first user makes the file (-c).
    for (const QStringList &user : {QStringList{"-c", "-b", work.filePath("passwords"), "pi4"},
                                    QStringList{"-b", work.filePath("passwords"), "homeassistant"},
                                    QStringList{"-b", work.filePath("passwords"), "operator"}})
        QCOMPARE(QProcess::execute(program("mosquitto_passwd"), user + QStringList{"s3cret"}), 0);
    startBroker();
}

void TestBridge::discovery_data() {
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QString>("node");    // its topic
    QTest::addColumn<QByteArray>("keys"); // that the config must hold; null: must lack

    const QString plug = "ternix36/site/t36link0/fe80::10";
    const QString adplug = "ternix36/site/t36link0/fe80::11";
    const QString sensor = "ternix36/site/t36link0/fe80::12";
    QTest::newRow("plug switch")
        << "homeassistant/switch/site__t36link0__fe80_3a_3a10/switch/config" << plug
        << QByteArray("{\"unique_id\":\"ternix36/site/t36link0/fe80::10/switch\","
                      "\"state_topic\":\"ternix36/site/t36link0/fe80::10/state\","
                      "\"command_topic\":\"ternix36/site/t36link0/fe80::10/switch/set\","
                      "\"device\":{\"identifiers\":[\"ternix36/site/t36link0/fe80::10\"],"
                      "\"name\":\"Desk lamp\",\"manufacturer\":\"TERNIX36\","
                      "\"model\":\"TERNIX36 Plug\"}}");
    QTest::newRow("plug real power")
        << "homeassistant/sensor/site__t36link0__fe80_3a_3a10/real_power/config" << plug
        << QByteArray("{\"device_class\":\"power\",\"unit_of_measurement\":\"W\","
                      "\"state_class\":\"measurement\",\"command_topic\":null}");
    QTest::newRow("plug apparent power")
        << "homeassistant/sensor/site__t36link0__fe80_3a_3a10/apparent_power/config" << plug
        << QByteArray("{\"device_class\":\"apparent_power\",\"unit_of_measurement\":\"VA\","
                      "\"state_class\":\"measurement\"}");
    QTest::newRow("adplug apparent power")
        << "homeassistant/sensor/site__t36link0__fe80_3a_3a11/apparent_power/config" << adplug
        << QByteArray("{\"device_class\":\"apparent_power\",\"unit_of_measurement\":\"VA\"}");
    QTest::newRow("temperature")
        << "homeassistant/sensor/site__t36link0__fe80_3a_3a12/temperature/config" << sensor
        << QByteArray("{\"device_class\":\"temperature\",\"unit_of_measurement\":\"°C\"}");
    QTest::newRow("brightness has no unit")
        << "homeassistant/sensor/site__t36link0__fe80_3a_3a12/brightness/config" << sensor
        << QByteArray("{\"device_class\":null,\"unit_of_measurement\":null,"
                      "\"state_class\":\"measurement\"}");
    QTest::newRow("poll of a 0x0112 sensor")
        << "homeassistant/button/site__t36link0__fe80_3a_3a13/poll/config"
        << "ternix36/site/t36link0/fe80::13"
        << QByteArray("{\"payload_press\":\"PRESS\",\"state_topic\":null,"
                      "\"command_topic\":\"ternix36/site/t36link0/fe80::13/poll/set\"}");
    // The default schema, which Home Assistant 2024.2 and today's read alike:
    // no color_mode, no flash, no transition.
    QTest::newRow("dimmer")
        << "homeassistant/light/site__t36link0__fe80_3a_3a14/light/config"
        << "ternix36/site/t36link0/fe80::14"
        << QByteArray("{\"schema\":null,\"command_topic\":\"ternix36/site/t36link0/fe80::14/light/"
                      "set\",\"state_topic\":\"ternix36/site/t36link0/fe80::14/state\","
                      "\"state_value_template\":\"{{ value_json.state }}\","
                      "\"brightness_command_topic\":\"ternix36/site/t36link0/fe80::14/"
                      "brightness/set\",\"brightness_state_topic\":\"ternix36/site/t36link0/"
                      "fe80::14/state\",\"brightness_value_template\":\"{{ "
                      "value_json.brightness }}\",\"brightness_scale\":100,"
                      "\"on_command_type\":\"brightness\",\"color_mode\":null,"
                      "\"supported_color_modes\":null,\"brightness\":null,\"flash\":null,"
                      "\"transition\":null,\"flash_time_short\":null}");
    QTest::newRow("blinds") << "homeassistant/cover/site__t36link0__fe80_3a_3a15/cover/config"
                            << "ternix36/site/t36link0/fe80::15"
                            << QByteArray("{\"device_class\":\"blind\",\"optimistic\":true,"
                                          "\"device\":{\"identifiers\":[\"ternix36/site/"
                                          "t36link0/fe80::15\"],\"name\":\"TERNIX36 Blinds "
                                          "fe80::15%t36link0\",\"manufacturer\":\"TERNIX36\","
                                          "\"model\":\"TERNIX36 Blinds\"}}");
    QTest::newRow("the same address on the second link")
        << "homeassistant/switch/site__t36link1__fe80_3a_3a10/switch/config"
        << "ternix36/site/t36link1/fe80::10"
        << QByteArray("{\"unique_id\":\"ternix36/site/t36link1/fe80::10/switch\","
                      "\"device\":{\"identifiers\":[\"ternix36/site/t36link1/fe80::10\"],"
                      "\"name\":\"Garage lamp\",\"manufacturer\":\"TERNIX36\","
                      "\"model\":\"TERNIX36 Plug\"}}");
}

void TestBridge::discovery() {
    QFETCH(QString, topic);
    QFETCH(QString, node);
    QFETCH(QByteArray, keys);
    siteBridge();
    QVERIFY2(waitForTopic(topic, [](const QByteArray &) { return true; }), qPrintable(topic));
    const QJsonObject config = json(latest(topic));
    const QJsonObject expected = json(keys);
    for (auto i = expected.begin(); i != expected.end(); ++i)
        QVERIFY2(i.value().isNull() ? !config.contains(i.key()) : config[i.key()] == i.value(),
                 qPrintable(i.key()));
    QCOMPARE(config["availability"].toArray(),
             (QJsonArray{QJsonObject{{"topic", "ternix36/site/availability"}},
                         QJsonObject{{"topic", node + "/availability"}}}));
    QCOMPARE(config["availability_mode"].toString(), QStringLiteral("all"));
    QCOMPARE(config["origin"].toObject(), json(Origin));
    QVERIFY(waitForPayload(node + "/availability", "online"));
}

void TestBridge::nothingIsSentUnasked() {
    const int from = simLog.size();
    const int from2 = sim2Log.size();
    useBridges({{"quiet", {"--interface", Link1, "--interface", Link2}}});
    for (const char *node :
         {"ternix36/quiet/t36link0/fe80::14", "ternix36/quiet/t36link1/fe80::10"})
        QVERIFY2(waitForPayload(node + QStringLiteral("/availability"), "online"), node);
    // Through a second probe: no level 0 to the dimmer, nothing at all.
    QTest::qWait(2500);
    QCOMPARE(commands(simLog, from).size(), 0);
    QCOMPARE(commands(sim2Log, from2).size(), 0);
}

void TestBridge::statesFollowReports_data() {
    QTest::addColumn<QString>("address"); // a node of our own on the first link
    QTest::addColumn<QByteArray>("report");
    QTest::addColumn<QByteArray>("state");

    QTest::newRow("plug on") << "fe80::a0"
                             << QByteArray::fromHex("00100108aa0f00006c11000009") + "Desk lamp"
                             << QByteArray("{\"name\":\"Desk lamp\",\"state\":\"ON\","
                                           "\"real_power\":40.1,\"apparent_power\":44.6}");
    QTest::newRow("plug off") << "fe80::a1" << QByteArray::fromHex("0010010000")
                              << QByteArray("{\"name\":\"\",\"state\":\"OFF\",\"real_power\":0,"
                                            "\"apparent_power\":0}");
    QTest::newRow("plug cut short")
        << "fe80::a2" << QByteArray::fromHex("00100108aa0f")
        << QByteArray("{\"name\":\"\",\"state\":\"ON\",\"real_power\":0,\"apparent_power\":0}");
    QTest::newRow("adplug on") << "fe80::a3"
                               << QByteArray::fromHex("0020010901ec2c0000ea31000006") + "Kettle"
                               << QByteArray("{\"name\":\"Kettle\",\"state\":\"ON\","
                                             "\"real_power\":115,\"apparent_power\":127.78}");
    QTest::newRow("sensor") << "fe80::a4"
                            << QByteArray::fromHex("00110108d70000005e0100000b") + "Hall sensor"
                            << QByteArray("{\"name\":\"Hall sensor\",\"temperature\":21.5,"
                                          "\"brightness\":350}");
    QTest::newRow("0x0112 sensor below zero")
        << "fe80::a5" << QByteArray::fromHex("00120108ddffffff0000000000")
        << QByteArray("{\"name\":\"\",\"temperature\":-3.5,\"brightness\":0}");
    QTest::newRow("dimmer 50") << "fe80::a6" << QByteArray::fromHex("00300101b200")
                               << QByteArray("{\"name\":\"\",\"state\":\"ON\",\"brightness\":50}");
    QTest::newRow("dimmer 127: Home Assistant's scale ends at 100")
        << "fe80::a9" << QByteArray::fromHex("00300101ff00")
        << QByteArray("{\"name\":\"\",\"state\":\"ON\",\"brightness\":100}");
    QTest::newRow("blinds down") << "fe80::a7" << QByteArray::fromHex("00210101")
                                 << QByteArray("{\"state\":\"closing\"}");
    QTest::newRow("blinds up") << "fe80::a8" << QByteArray::fromHex("00210103")
                               << QByteArray("{\"state\":\"opening\"}");
}

void TestBridge::statesFollowReports() {
    QFETCH(QString, address);
    QFETCH(QByteArray, report);
    QFETCH(QByteArray, state);
    siteBridge();
    const LinkNode node(address, simPid);
    QVERIFY(node.isBound());
    QVERIFY(node.send(report));
    const QString topic = QStringLiteral("ternix36/site/t36link0/%1/state").arg(address);
    QVERIFY2(waitForTopic(topic, [](const QByteArray &) { return true; }), qPrintable(topic));
    QCOMPARE(json(latest(topic)), json(state));
}

void TestBridge::reportsAsTheyCame_data() {
    QTest::addColumn<QString>("address"); // a node of our own on the first link
    QTest::addColumn<QList<QByteArray>>("datagrams");
    QTest::addColumn<int>("reports");  // how many the console gets
    QTest::addColumn<QString>("last"); // its datagram, in hex

    QTest::newRow("the first report")
        << "fe80::b0"
        << QList<QByteArray>{QByteArray::fromHex("00100108aa0f00006c11000009") + "Desk lamp"} << 1
        << "00100108aa0f00006c110000094465736b206c616d70";
    QTest::newRow("three at once, none merged")
        << "fe80::b1"
        << QList<QByteArray>{QByteArray::fromHex("00210101"), QByteArray::fromHex("00210103"),
                             QByteArray::fromHex("00210100")}
        << 3 << "00210100";
    QTest::newRow("cut short, as it came")
        << "fe80::b2" << QList<QByteArray>{QByteArray::fromHex("00100108aa0f")} << 1
        << "00100108aa0f";
    QTest::newRow("shorter than a header: no report")
        << "fe80::b3"
        << QList<QByteArray>{QByteArray::fromHex("00120108ddffffff0000000000"),
                             QByteArray::fromHex("0012"),
                             QByteArray::fromHex("00120108e2ffffff0100000000")}
        << 2 << "00120108e2ffffff0100000000";
}

// What a console gets: every report, retained, with the bridge's wall clock.
void TestBridge::reportsAsTheyCame() {
    QFETCH(QString, address);
    QFETCH(QList<QByteArray>, datagrams);
    QFETCH(int, reports);
    QFETCH(QString, last);
    siteBridge();
    const LinkNode node(address, simPid);
    QVERIFY(node.isBound());
    const QString topic = QStringLiteral("ternix36/site/t36link0/%1/report").arg(address);
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    for (const QByteArray &datagram : datagrams)
        QVERIFY(node.send(datagram));
    QVERIFY2(waitForTopic(topic, [&](const QByteArray &) { return counts[topic] == reports; }),
             qPrintable(QString::number(counts[topic])));
    const qint64 after = QDateTime::currentMSecsSinceEpoch();
    const QJsonObject report = json(latest(topic));
    QCOMPARE(report.keys(), (QStringList{"datagram", "heard"}));
    QCOMPARE(report["datagram"].toString(), last);
    QVERIFY(report["heard"].isDouble());
    const qint64 heard = qint64(report["heard"].toDouble());
    QVERIFY2(heard >= before && heard <= after, qPrintable(QString::number(heard)));
    QCOMPARE(retained(topic), latest(topic));
}

void TestBridge::commandsReachTheNodes_data() {
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QString>("payload");
    QTest::addColumn<QString>("bytes");
    QTest::addColumn<QByteArray>("state"); // what the node's answer makes of the state

    // The simulated plugs start on, the AD plug off.
    QTest::newRow("plug off") << "ternix36/site/t36link0/fe80::10/switch/set"
                              << "OFF"
                              << "c01001"
                              << QByteArray("{\"state\":\"OFF\",\"real_power\":0,"
                                            "\"apparent_power\":0}");
    QTest::newRow("the same address on the other link")
        << "ternix36/site/t36link1/fe80::10/switch/set"
        << "OFF"
        << "c01001" << QByteArray("{\"name\":\"Garage lamp\",\"state\":\"OFF\"}");
    QTest::newRow("adplug on") << "ternix36/site/t36link0/fe80::11/switch/set"
                               << "ON"
                               << "c0200101" << QByteArray("{\"state\":\"ON\"}");
    QTest::newRow("adplug off") << "ternix36/site/t36link0/fe80::11/switch/set"
                                << "OFF"
                                << "c0200100" << QByteArray("{\"state\":\"OFF\",\"real_power\":0}");
    QTest::newRow("poll") << "ternix36/site/t36link0/fe80::12/poll/set"
                          << "PRESS"
                          << "c01101" << QByteArray("{\"name\":\"Hall sensor\"}");
    QTest::newRow("poll 0x0112 as 0x0111") << "ternix36/site/t36link0/fe80::13/poll/set"
                                           << "PRESS"
                                           << "c01101" << QByteArray("{\"name\":\"Porch sensor\"}");
    QTest::newRow("dimmer 40") << "ternix36/site/t36link0/fe80::14/light/set"
                               << "{\"state\":\"ON\",\"brightness\":40}"
                               << "c0300101a8"
                               << QByteArray("{\"state\":\"ON\",\"brightness\":40}");
    QTest::newRow("dimmer off") << "ternix36/site/t36link0/fe80::14/light/set"
                                << "{\"state\":\"OFF\"}"
                                << "c030010180"
                                << QByteArray("{\"state\":\"OFF\",\"brightness\":0}");
    QTest::newRow("dimmer on: the last level")
        << "ternix36/site/t36link0/fe80::14/light/set"
        << "{\"state\":\"ON\"}"
        << "c0300101a8" << QByteArray("{\"state\":\"ON\",\"brightness\":40}");
    // Home Assistant's 0..255 on a scale of 100, and back: 102 is 40, and 40 is 102.
    QTest::newRow("dimmer: Home Assistant's 255")
        << "ternix36/site/t36link0/fe80::14/brightness/set"
        << "100"
        << "c0300101e4" << QByteArray("{\"state\":\"ON\",\"brightness\":100}");
    QTest::newRow("dimmer: Home Assistant's 102")
        << "ternix36/site/t36link0/fe80::14/brightness/set"
        << "40"
        << "c0300101a8" << QByteArray("{\"state\":\"ON\",\"brightness\":40}");
    QTest::newRow("dimmer: Home Assistant's off")
        << "ternix36/site/t36link0/fe80::14/light/set"
        << "OFF"
        << "c030010180" << QByteArray("{\"state\":\"OFF\",\"brightness\":0}");
    QTest::newRow("dimmer: ON, the last level")
        << "ternix36/site/t36link0/fe80::14/light/set"
        << "ON"
        << "c0300101a8" << QByteArray("{\"state\":\"ON\",\"brightness\":40}");
    QTest::newRow("open") << "ternix36/site/t36link0/fe80::15/cover/set"
                          << "OPEN"
                          << "c0210103" << QByteArray("{\"state\":\"opening\"}");
    QTest::newRow("close") << "ternix36/site/t36link0/fe80::15/cover/set"
                           << "CLOSE"
                           << "c0210101" << QByteArray("{\"state\":\"closing\"}");
    QTest::newRow("stop") << "ternix36/site/t36link0/fe80::15/cover/set"
                          << "STOP"
                          << "c0210100" << QByteArray("{\"state\":\"stopped\"}");
    // A console's datagrams, passed on byte for byte at the kind's port.
    QTest::newRow("datagram: poll") << "ternix36/site/t36link0/fe80::12/datagram/set"
                                    << "c01101"
                                    << "c01101" << QByteArray("{\"name\":\"Hall sensor\"}");
    QTest::newRow("datagram: poll 0x0112 as 0x0111")
        << "ternix36/site/t36link0/fe80::13/datagram/set"
        << "c01101"
        << "c01101" << QByteArray("{\"name\":\"Porch sensor\"}");
    QTest::newRow("datagram: configure, in upper case")
        << "ternix36/site/t36link0/fe80::12/datagram/set"
        << "801101000000001E00000004000000"
        << "801101000000001e00000004000000" << QByteArray("{\"name\":\"Hall sensor\"}");
    QTest::newRow("datagram: adplug off") << "ternix36/site/t36link0/fe80::11/datagram/set"
                                          << "c0200100"
                                          << "c0200100" << QByteArray("{\"state\":\"OFF\"}");
    QTest::newRow("datagram: dimmer 40")
        << "ternix36/site/t36link0/fe80::14/datagram/set"
        << "c0300101a8"
        << "c0300101a8" << QByteArray("{\"state\":\"ON\",\"brightness\":40}");
    QTest::newRow("datagram: blinds up, at port 40000")
        << "ternix36/site/t36link0/fe80::15/datagram/set"
        << "c0210103"
        << "c0210103" << QByteArray("{\"state\":\"opening\"}");
}

void TestBridge::commandsReachTheNodes() {
    QFETCH(QString, topic);
    QFETCH(QString, payload);
    QFETCH(QString, bytes);
    QFETCH(QByteArray, state);
    siteBridge();
    // ternix36/site/LINK/NODE/OBJECT/set
    const QString node = topic.section(u'/', 3, 3);
    const bool firstLink = topic.section(u'/', 2, 2) == Link1;
    const SimLog &target = firstLink ? simLog : sim2Log;
    const SimLog &other = firstLink ? sim2Log : simLog;
    const int from = target.size();
    const int otherFrom = other.size();
    publish(topic, {payload});
    const auto command = target.waitFor(SimLog::event("received", "command", node), from);
    QVERIFY2(command, "nothing reached the node");
    QCOMPARE(command->value("hex").toString(), bytes);
    QCOMPARE(command->value("dst").toString(), node);
    const QString stateTopic = topic.section(u'/', 0, 3) + "/state";
    QVERIFY2(waitForState(stateTopic, json(state)), latest(stateTopic).constData());
    QCOMPARE(commands(other, otherFrom).size(), 0);
}

void TestBridge::dimmerLevelsAreRateLimited() {
    siteBridge();
    // The bridge's limiter, in another process, lets a level pass at once
    // again once it has been idle for one 200 ms interval after the last one.
    QTest::qWait(500);
    const int from = simLog.size();
    QStringList levels;
    for (int level = 10; level <= 50; level += 10)
        levels.append(QStringLiteral("{\"state\":\"ON\",\"brightness\":%1}").arg(level));
    publish("ternix36/site/t36link0/fe80::14/light/set", levels);
    // The last level always goes out; the first at once.
    QVERIFY(simLog.waitFor(
        [](const QJsonObject &entry) {
            return entry["note"].toString() == "command" && entry["hex"].toString() == "c0300101b2";
        },
        from));
    const QList<QJsonObject> sent = commands(simLog, from);
    QCOMPARE(sent.first()["hex"].toString(), QStringLiteral("c03001018a"));
    QVERIFY2(sent.size() < levels.size(), "every level went out at once");
}

void TestBridge::garbageSendsNothing() {
    siteBridge();
    const QStringList garbage = {"garbage",
                                 "{",
                                 "{\"state\":\"ON\",\"brightness\":500}",
                                 "{\"state\":\"DIM\"}",
                                 "1",
                                 "PRESS PRESS",
                                 "on",
                                 "[\"ON\"]"};
    const QStringList topics = {"ternix36/site/t36link0/fe80::10/switch/set",
                                "ternix36/site/t36link0/fe80::11/switch/set",
                                "ternix36/site/t36link0/fe80::12/poll/set",
                                "ternix36/site/t36link0/fe80::14/light/set",
                                "ternix36/site/t36link0/fe80::15/cover/set",
                                "ternix36/site/t36link0/fe80::10/light/set",
                                "ternix36/site/t36link0/fe80::99/switch/set",
                                "ternix36/site/t36link9/fe80::10/switch/set",
                                "ternix36/site/t36link0/not-an-address/switch/set"};
    const int from = simLog.size();
    const qsizetype logFrom = bridges.front()->log.size();
    for (const QString &topic : topics)
        publish(topic, garbage);

    // Then one good command: once it arrives, everything before it was handled.
    publish("ternix36/site/t36link0/fe80::12/poll/set", {"PRESS"});
    QVERIFY(simLog.waitFor(SimLog::event("received", "command", "fe80::12"), from));
    const QList<QJsonObject> sent = commands(simLog, from);
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent.first()["hex"].toString(), QStringLiteral("c01101"));
    QCOMPARE(bridges.front()->process.state(), QProcess::Running);
    // One warning line per payload.
    QTRY_COMPARE_WITH_TIMEOUT(bridges.front()->log.mid(logFrom).count("<4>"),
                              topics.size() * garbage.size(), Timeout);
}

void TestBridge::datagramsNoPanelSends_data() {
    QTest::addColumn<QString>("address"); // a simulated node on the first link
    QTest::addColumn<QString>("payload");

    QTest::newRow("a plug's switch to a sensor") << "fe80::12"
                                                 << "c01001";
    QTest::newRow("the poll with configure's operation") << "fe80::12"
                                                         << "801101";
    QTest::newRow("the blinds' stop with configure's operation") << "fe80::15"
                                                                 << "80210100";
    QTest::newRow("the 0x0112 code, which no panel sends") << "fe80::13"
                                                           << "c01201";
    QTest::newRow("the AD plug's switch, a byte too long") << "fe80::11"
                                                           << "c020010100";
    QTest::newRow("the dimmer's level, without the level") << "fe80::14"
                                                           << "c0300101";
    QTest::newRow("the probe") << "fe80::10"
                               << "00010203040506070809";
    QTest::newRow("not hex") << "fe80::12"
                             << "c0zz01";
    QTest::newRow("an odd number of digits") << "fe80::12"
                                             << "c01101f";
}

// Each sent twice: nothing reaches the link, and the topic is named once.
void TestBridge::datagramsNoPanelSends() {
    QFETCH(QString, address);
    QFETCH(QString, payload);
    siteBridge();
    const QString topic = QStringLiteral("ternix36/site/t36link0/%1/datagram/set").arg(address);
    const int from = simLog.size();
    publish(topic, {payload, payload});
    // Then one good datagram: once it arrives, those before it were handled.
    publish("ternix36/site/t36link0/fe80::13/datagram/set", {"c01101"});
    QVERIFY(simLog.waitFor(SimLog::event("received", "command", "fe80::13"), from));
    const QList<QJsonObject> received = simLog.matching(
        [](const QJsonObject &entry) {
            return entry["event"].toString() == "received" && entry["note"].toString() != "probe";
        },
        from);
    QCOMPARE(received.size(), 1);
    QCOMPARE(received.first()["hex"].toString(), QStringLiteral("c01101"));
    QTRY_COMPARE_WITH_TIMEOUT(bridges.front()->log.count((topic + ": \"").toUtf8()), 1, Timeout);
}

void TestBridge::tenCommandsASecond_data() {
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QString>("payload");
    QTest::newRow("datagrams") << "ternix36/site/t36link0/fe80::15/datagram/set"
                               << "c0210100";
    QTest::newRow("Home Assistant's commands too") << "ternix36/site/t36link0/fe80::15/cover/set"
                                                   << "STOP";
}

// Fifteen at once: ten reach the node, and the rest are said once.
void TestBridge::tenCommandsASecond() {
    QFETCH(QString, topic);
    QFETCH(QString, payload);
    siteBridge();
    // Whatever went to the node before is out of its last second.
    QTest::qWait(1100);
    const int from = simLog.size();
    const qsizetype logFrom = bridges.front()->log.size();
    publish(topic, QList<QString>(15, payload));
    const auto toBlinds = [&] {
        return simLog
            .matching(
                [](const QJsonObject &entry) {
                    return entry["event"].toString() == "received" &&
                           entry["dst"].toString() == "fe80::15" &&
                           entry["note"].toString() != "probe";
                },
                from)
            .size();
    };
    QTRY_COMPARE_WITH_TIMEOUT(toBlinds(), 10, Timeout);
    QTRY_VERIFY_WITH_TIMEOUT(bridges.front()->log.mid(logFrom).contains(
                                 "fe80::15%t36link0: more than 10 commands within a second"),
                             Timeout);
    // A second on, one more goes: once it arrives, the fifteen were handled.
    QTest::qWait(1100);
    publish(topic, {payload});
    QTRY_COMPARE_WITH_TIMEOUT(toBlinds(), 11, Timeout);
    QCOMPARE(bridges.front()->log.mid(logFrom).count("more than 10 commands"), 1);
}

// A bridge that would not probe for ten minutes probes both links when asked,
// once for three messages at once.
void TestBridge::probeWhenAsked() {
    stopBridges();
    const int start = simLog.size();
    const int start2 = sim2Log.size();
    useBridges({{"asked", {"--interface", Link1, "--interface", Link2, "--probe-every", "600"}}});
    // The probe at start is out of the way.
    QVERIFY(simLog.waitFor(SimLog::event("received", "probe"), start));
    QVERIFY(sim2Log.waitFor(SimLog::event("received", "probe"), start2));
    const int from = simLog.size();
    const int from2 = sim2Log.size();
    const qsizetype logFrom = bridges.front()->log.size();
    publish("ternix36/asked/probe", {"x", "x", "x"});
    QVERIFY(simLog.waitFor(SimLog::event("received", "probe"), from));
    QVERIFY(sim2Log.waitFor(SimLog::event("received", "probe"), from2));
    QTRY_VERIFY_WITH_TIMEOUT(
        bridges.front()->log.mid(logFrom).contains("<7>ternix36/asked/probe: more than one probe"),
        Timeout);
    QCOMPARE(simLog.matching(SimLog::event("received", "probe"), from).size(), 1);
    QCOMPARE(sim2Log.matching(SimLog::event("received", "probe"), from2).size(), 1);
}

void TestBridge::silentNodeGoesOfflineAndBack() {
    siteBridge();
    // Any datagram after a probe answers it.
    const LinkNode node("fe80::77", simPid);
    QVERIFY(node.isBound());
    const QString topic = "ternix36/site/t36link0/fe80::77/availability";
    QTimer reporting;
    reporting.setInterval(200);
    connect(&reporting, &QTimer::timeout, this,
            [&node] { node.send(QByteArray::fromHex("0010010000")); });
    reporting.start();
    QVERIFY(waitForPayload(topic, "online"));

    reporting.stop();
    QVERIFY2(waitForPayload(topic, "offline"), "still online after a probe went unanswered");
    reporting.start();
    QVERIFY2(waitForPayload(topic, "online", 3000), "not online again");
}

void TestBridge::restartMarksSilentNodesOffline() {
    const QList<QPair<QString, QStringList>> restart = {{"restart", {"--interface", Link1}}};
    useBridges(restart);
    const QString gone = "ternix36/restart/t36link0/fe80::78";
    const QString answering = "ternix36/restart/t36link0/fe80::10";
    {
        const LinkNode node("fe80::78", simPid);
        QVERIFY(node.send(QByteArray::fromHex("00100108aa0f00006c11000004") + "Gone"));
        QVERIFY(waitForPayload(gone + "/availability", "online"));
        QVERIFY(waitForPayload(answering + "/availability", "online"));
    }
    const QByteArray state = retained(gone + "/state");
    QCOMPARE(json(state)["name"].toString(), QStringLiteral("Gone"));
    // Written by hand, not as the bridge writes fe80::2:5.
    const QString handWritten = "ternix36/restart/t36link0/FE80:0::2:5/availability";
    publish(handWritten, {"online"}, {"-r"});

    stopBridges();
    useBridges(restart);
    QVERIFY2(waitForPayload(gone + "/availability", "offline"), "the silent node is online");
    QVERIFY(waitForPayload(handWritten, "offline"));
    QCOMPARE(retained(answering + "/availability"), QByteArray("online"));
    QCOMPARE(retained(gone + "/state"), state);
    QCOMPARE(retained("ternix36/restart/t36link0/fe80::2:5/availability"), QByteArray());
    publish(handWritten, {}, {"-r", "-n"});
}

void TestBridge::retainedCommandsAreNotRun() {
    const QList<QPair<QString, QStringList>> restart = {{"restart", {"--interface", Link1}}};
    useBridges(restart);
    const QString topic = "ternix36/restart/t36link0/fe80::12/poll/set";
    const int from = simLog.size();
    // Published while the bridge listens, it is a live command, and runs.
    publish(topic, {"PRESS"}, {"-r"});
    QVERIFY(simLog.waitFor(SimLog::event("received", "command", "fe80::12"), from));

    stopBridges();
    useBridges(restart);
    QTRY_VERIFY_WITH_TIMEOUT(bridges.front()->log.contains("a retained message is no command"),
                             Timeout);
    QCOMPARE(commands(simLog, from).size(), 1);
    QCOMPARE(bridges.front()->log.count("a retained message is no command"), 1);
    publish(topic, {}, {"-r", "-n"});
}

void TestBridge::removeClearsANode() {
    useBridges({{"restart", {"--interface", Link1}}});
    const QString node = "ternix36/restart/t36link0/fe80::79";
    const QStringList topics = {
        "homeassistant/switch/restart__t36link0__fe80_3a_3a79/switch/config",
        "homeassistant/sensor/restart__t36link0__fe80_3a_3a79/real_power/config",
        "homeassistant/sensor/restart__t36link0__fe80_3a_3a79/apparent_power/config",
        node + "/state",
        node + "/report",
        node + "/availability"};
    const LinkNode gone("fe80::79", simPid);
    QVERIFY(gone.send(QByteArray::fromHex("0010010000")));
    for (const QString &topic : topics)
        QVERIFY2(waitForTopic(topic, [](const QByteArray &p) { return !p.isEmpty(); }),
                 qPrintable(topic));

    publish(node + "/remove", {"x"});
    for (const QString &topic : topics)
        QVERIFY2(waitForPayload(topic, "", PromisedMs), qPrintable(topic));
    // It stays gone through the next probe, which it does not answer.
    QTest::qWait(2500);
    readSubscriber();
    for (const QString &topic : topics)
        QCOMPARE(latest(topic), QByteArray());
    // And comes back when it is heard again.
    QVERIFY(gone.send(QByteArray::fromHex("0010010000")));
    QVERIFY(waitForPayload(node + "/availability", "online"));
}

void TestBridge::birthRepublishes() {
    siteBridge();
    const QStringList topics = {"homeassistant/switch/site__t36link0__fe80_3a_3a10/switch/config",
                                "homeassistant/cover/site__t36link0__fe80_3a_3a15/cover/config",
                                "ternix36/site/t36link1/fe80::10/state",
                                "ternix36/site/t36link0/fe80::14/availability",
                                "ternix36/site/availability"};
    for (const QString &topic : topics)
        QVERIFY2(waitForTopic(topic, [](const QByteArray &) { return true; }), qPrintable(topic));
    QHash<QString, int> before;
    for (const QString &topic : topics)
        before.insert(topic, counts.value(topic));

    publish("homeassistant/status", {"online"});
    QDeadlineTimer deadline(PromisedMs);
    for (const QString &topic : topics) {
        while (counts.value(topic) == before.value(topic) && !deadline.hasExpired()) {
            QTest::qWait(20);
            readSubscriber();
        }
        QVERIFY2(counts.value(topic) > before.value(topic), qPrintable(topic));
    }
}

void TestBridge::twoBridgesShareOneBroker_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("stopped") << int(SIGTERM);
    QTest::newRow("lost: the last will") << int(SIGKILL);
}

void TestBridge::twoBridgesShareOneBroker() {
    QFETCH(int, signal);
    useBridges({{"a", {"--interface", Link1}}, {"b", {"--interface", Link2}}});
    for (const char *node : {"ternix36/a/t36link0/fe80::10", "ternix36/b/t36link1/fe80::10"})
        QVERIFY2(waitForPayload(node + QStringLiteral("/availability"), "online"), node);

    // A third on a link that one of them serves is refused, and takes nothing away.
    const QByteArray holder = "UDP port 4444 on t36link0 is taken by ternix36-bridge (process " +
                              QByteArray::number(bridges.front()->process.processId()) + ")";
    Bridge *third = startBridge("c", {"--interface", Link1});
    QVERIFY(third->process.waitForFinished(Timeout));
    QCOMPARE(third->process.exitCode(), 3);
    QVERIFY2(third->log.contains(holder), third->log.constData());
    bridges.pop_back();

    ::kill(pid_t(bridges.front()->process.processId()), signal);
    QVERIFY(bridges.front()->process.waitForFinished(Timeout));
    QVERIFY(waitForPayload("ternix36/a/availability", "offline"));
    QCOMPARE(retained("ternix36/b/availability"), QByteArray("online"));
    QCOMPARE(retained("ternix36/b/t36link1/fe80::10/availability"), QByteArray("online"));
    bridges.erase(bridges.begin());

    // Restarted on its host, the bridge is no one else's: it serves again. An
    // earlier connection that the broker gives up only now publishes its last
    // will after that, and the bridge says online again.
    QProcess earlier;
    if (signal == SIGKILL) {
        earlier.start(program("mosquitto_sub"),
                      {"-h", "127.0.0.1", "-p", QString::number(port), "-t", "unused",
                       "--will-topic", "ternix36/a/availability", "--will-payload", "offline",
                       "--will-retain"});
        QVERIFY(earlier.waitForStarted());
    }
    startBridge("a", {"--interface", Link1});
    QVERIFY(waitForPayload("ternix36/a/availability", "online"));
    if (signal == SIGKILL) {
        // Offline, then online at once: both messages, however close, the
        // later one last.
        readSubscriber();
        const int before = counts.value("ternix36/a/availability");
        earlier.kill();
        earlier.waitForFinished();
        QVERIFY(waitForTopic("ternix36/a/availability", [&](const QByteArray &payload) {
            return counts.value("ternix36/a/availability") >= before + 2 && payload == "online";
        }));
    }
}

void TestBridge::portTaken_data() {
    QTest::addColumn<bool>("freed"); // while the bridge tries again
    QTest::newRow("held") << false;
    QTest::newRow("freed after the first try") << true;
}

// The port held as the window holds it, by this test: the bridge names the
// holder, tries three times, and gives up with status 3, publishing nothing,
// unless the port comes free meanwhile.
void TestBridge::portTaken() {
    QFETCH(bool, freed);
    stopBridges();
    auto window = std::make_unique<QUdpSocket>();
    QVERIFY(window->bind(QHostAddress::AnyIPv6, 4444, QUdpSocket::ShareAddress));
    Bridge *bridge = startBridge("taken", {"--interface", Link1});
    const QByteArray holder = "UDP port 4444 on t36link0 is taken by tst_bridge (process " +
                              QByteArray::number(QCoreApplication::applicationPid()) + ")";
    QTRY_VERIFY_WITH_TIMEOUT(bridge->log.contains("<5>" + holder + ": trying again in 2 s"),
                             Timeout);
    if (freed) {
        window.reset();
        QVERIFY(waitForPayload("ternix36/taken/availability", "online"));
        stopBridges();
        return;
    }
    QVERIFY(bridge->process.waitForFinished(Timeout));
    QCOMPARE(bridge->process.exitCode(), 3);
    const QByteArray advice =
        "<3>" + holder +
        ", after 3 tries: close that program, then start the bridge again. One bridge serves "
        "every link of a host, and the window on a host with a bridge runs through the broker: "
        "ternix36-control --site mqtt://127.0.0.1:" +
        QByteArray::number(port) + "\n";
    QVERIFY2(bridge->log.contains(advice), bridge->log.constData());
    QCOMPARE(bridge->log.count(holder), 3);
    QCOMPARE(retained("ternix36/taken/availability"), QByteArray());
    bridges.clear();
}

void TestBridge::floodStopsAtMaxNodes() {
    useBridges({{"flood", {"--interface", Link1, "--max-nodes", "10"}}});
    for (int node = 0x10; node <= 0x15; ++node)
        QVERIFY(waitForPayload(
            QStringLiteral("ternix36/flood/t36link0/fe80::%1/availability").arg(node, 0, 16),
            "online"));
    for (int i = 0; i < 5000; ++i) {
        const LinkNode fake(QStringLiteral("fe80::f:%1").arg(i, 0, 16), simPid);
        QVERIFY(fake.send(QByteArray::fromHex("0010010000")));
    }
    // The poll's answer arrives after every flooding datagram: once its state
    // is in, each of them has been routed.
    const QString sensor = "ternix36/flood/t36link0/fe80::12/state";
    const int polled = counts.value(sensor);
    const int from = simLog.size();
    publish("ternix36/flood/t36link0/fe80::12/poll/set", {"PRESS"});
    QVERIFY(simLog.waitFor(SimLog::event("received", "command", "fe80::12"), from));
    QVERIFY(waitForTopic(sensor, [&](const QByteArray &) { return counts[sensor] > polled; }));

    static const QRegularExpression availability("^ternix36/flood/t36link0/[^/]+/availability$");
    int devices = 0;
    for (auto i = messages.cbegin(); i != messages.cend(); ++i)
        devices += availability.match(i.key()).hasMatch() ? 1 : 0;
    QCOMPARE(devices, 10);
    QCOMPARE(bridges.front()->log.count("--max-nodes"), 1);
}

void TestBridge::tls_data() {
    QTest::addColumn<QString>("listener"); // plain, tls, or cert (client certificates required)
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("asNobody"); // who cannot read the test's files
    // online; refused: never connects, keeps trying; or the message it exits 1 with
    QTest::addColumn<QString>("outcome");

    QTest::newRow("a CA") << "tls" << QStringList{"--ca-file", "ca.pem"} << false << "online";
    QTest::newRow("a client certificate")
        << "cert"
        << QStringList{"--ca-file", "ca.pem", "--cert", "client.pem", "--key", "client.key"}
        << false << "online";
    QTest::newRow("no client certificate where one is required")
        << "cert" << QStringList{"--ca-file", "ca.pem"} << false << "refused";
    QTest::newRow("the system's CAs, which did not sign the broker's")
        << "tls" << QStringList{} << false << "refused";
    QTest::newRow("mqtts to a plaintext listener")
        << "plain" << QStringList{"--ca-file", "ca.pem"} << false << "refused";
    QTest::newRow("a missing CA") << "tls" << QStringList{"--ca-file", "missing.pem"} << false
                                  << "cannot read the CA file missing.pem";
    QTest::newRow("an unreadable CA")
        << "tls" << QStringList{"--ca-file", "ca.pem"} << true << "cannot read the CA file";
    QTest::newRow("a CA that is no certificate") << "tls" << QStringList{"--ca-file", "ca.key"}
                                                 << false << "no certificate authority in ca.key";
    QTest::newRow("the key of another certificate")
        << "cert"
        << QStringList{"--ca-file", "ca.pem", "--cert", "client.pem", "--key", "server.key"}
        << false << "the client key server.key is not the key of the certificate client.pem";
    QTest::newRow("an encrypted key")
        << "cert" << QStringList{"--ca-file",  "ca.pem", "--cert",
                                 "client.pem", "--key",  "client-encrypted.key"}
        << false << "cannot use the client key client-encrypted.key: no unencrypted PEM key";
}

void TestBridge::tls() {
    QFETCH(QString, listener);
    QFETCH(QStringList, arguments);
    QFETCH(bool, asNobody);
    QFETCH(QString, outcome);
    stopBridges();
    const quint16 target = listener == u"plain" ? port : listener == u"tls" ? tlsPort : certPort;
    const QString id = QStringLiteral("tls-%1").arg(++tlsRuns);
    QStringList prefix;
    if (asNobody) {
        // As the service's dynamic user: it can run the bridge, not read the test's files.
        const QStringList nobody = {program("setpriv"), "--reuid=65534", "--regid=65534",
                                    "--clear-groups", "--"};
        QProcess check;
        check.start(nobody.first(), nobody.mid(1) + QStringList{BRIDGE_PROGRAM, "--help"});
        if (::geteuid() != 0 || !check.waitForFinished() || check.exitCode() != 0)
            QSKIP("cannot run the bridge as an unprivileged user here");
        prefix = nobody;
    }
    Bridge *bridge = startBridge(id,
                                 QStringList{"--interface", "lo", "--broker",
                                             QStringLiteral("mqtts://127.0.0.1:%1").arg(target)} +
                                     arguments,
                                 prefix);
    const QString availability = QStringLiteral("ternix36/%1/availability").arg(id);
    if (outcome == u"online") {
        QVERIFY(waitForPayload(availability, "online"));
    } else if (outcome == u"refused") {
        // Long enough for three tries.
        QVERIFY(!waitForPayload(availability, "online", 3000));
        QCOMPARE(bridge->process.state(), QProcess::Running);
        // It needs a person: a warning.
        QVERIFY2(bridge->log.contains("<4>broker 127.0.0.1:"), bridge->log.constData());
    } else {
        QVERIFY(bridge->process.waitForFinished(Timeout));
        QCOMPARE(bridge->process.exitCode(), 1);
        QVERIFY2(bridge->log.contains(outcome.toUtf8()), bridge->log.constData());
    }
    // The broker's log names every client whose CONNECT it took.
    QFile log(work.filePath("mosquitto.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const bool connected = log.readAll().contains(" as ternix36-bridge-" + id.toUtf8() + "-");
    QCOMPARE(connected, outcome == u"online");
    stopBridges();
}

void TestBridge::exampleAcl_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("topic");
    QTest::addColumn<bool>("allowed");
    QTest::addColumn<bool>("reads"); // or publishes

    QTest::newRow("the hub's command")
        << "homeassistant"
        << "ternix36/pi4/t36link0/fe80::12/poll/set" << true << false;
    QTest::newRow("the hub's remove") << "homeassistant"
                                      << "ternix36/pi4/t36link0/fe80::99/remove" << true << false;
    QTest::newRow("the hub's birth") << "homeassistant"
                                     << "homeassistant/status" << true << false;
    QTest::newRow("a state from the hub")
        << "homeassistant"
        << "ternix36/pi4/t36link0/fe80::12/state" << false << false;
    QTest::newRow("the bridge under its own id")
        << "pi4"
        << "ternix36/pi4/t36link0/fe80::99/state" << true << false;
    QTest::newRow("the bridge under another id") << "pi4"
                                                 << "ternix36/barn/availability" << false << false;
    QTest::newRow("the bridge as the hub") << "pi4"
                                           << "homeassistant/status" << false << false;
    // A console of the site: reports and availabilities in, datagrams and probes out.
    QTest::newRow("the operator reads a report")
        << "operator"
        << "ternix36/pi4/t36link0/fe80::12/report" << true << true;
    QTest::newRow("the operator reads every report") << "operator"
                                                     << "ternix36/+/+/+/report" << true << true;
    QTest::newRow("the operator reads a node's availability")
        << "operator"
        << "ternix36/pi4/t36link0/fe80::12/availability" << true << true;
    QTest::newRow("the operator reads a bridge's availability")
        << "operator"
        << "ternix36/pi4/availability" << true << true;
    QTest::newRow("the operator reads a state")
        << "operator"
        << "ternix36/pi4/t36link0/fe80::12/state" << false << true;
    QTest::newRow("the operator reads a discovery config")
        << "operator"
        << "homeassistant/sensor/pi4__t36link0__fe80_3a_3a12/temperature/config" << false << true;
    QTest::newRow("the operator's datagram")
        << "operator"
        << "ternix36/pi4/t36link0/fe80::12/datagram/set" << true << false;
    QTest::newRow("the operator's probe") << "operator"
                                          << "ternix36/pi4/probe" << true << false;
    QTest::newRow("a state from the operator")
        << "operator"
        << "ternix36/pi4/t36link0/fe80::12/state" << false << false;
    QTest::newRow("a Home Assistant command from the operator")
        << "operator"
        << "ternix36/pi4/t36link0/fe80::12/poll/set" << false << false;
    QTest::newRow("a remove from the operator")
        << "operator"
        << "ternix36/pi4/t36link0/fe80::99/remove" << false << false;
    QTest::newRow("a report from the operator")
        << "operator"
        << "ternix36/pi4/t36link0/fe80::99/report" << false << false;
}

// share/mosquitto/ternix36.acl as it is: the bridge works under it, and the
// users may read and publish what it says and nothing more.
void TestBridge::exampleAcl() {
    QFETCH(QString, user);
    QFETCH(QString, topic);
    QFETCH(bool, allowed);
    QFETCH(bool, reads);
    const QStringList asUser = {"-p", QString::number(aclPort), "-u", user, "-P", "s3cret"};
    useBridges(
        {{"pi4",
          {"--interface", Link1, "--broker", QStringLiteral("mqtt://127.0.0.1:%1").arg(aclPort),
           "--username", "pi4", "--password-file", work.filePath("password")}}});
    QVERIFY(waitForTopic("homeassistant/sensor/pi4__t36link0__fe80_3a_3a12/temperature/config",
                         [](const QByteArray &) { return true; }));
    QVERIFY(bridges.front()->log.contains("<4>the password goes to the broker 127.0.0.1:"));
    for (const char *topic :
         {"ternix36/pi4/t36link0/fe80::12/state", "ternix36/pi4/t36link0/fe80::12/report"})
        QVERIFY2(waitForTopic(topic, [](const QByteArray &) { return true; }), topic);

    // The hub's commands reach the nodes through the bridge.
    const int from = simLog.size();
    publish("ternix36/pi4/t36link0/fe80::12/poll/set", {"PRESS"},
            {"-p", QString::number(aclPort), "-u", "homeassistant", "-P", "s3cret"});
    QVERIFY(simLog.waitFor(SimLog::event("received", "command", "fe80::12"), from));

    if (reads) {
        // What the bridge keeps there, as the user gets it or not.
        QVERIFY(!retained(topic).isEmpty());
        QCOMPARE(!retained(topic, asUser).isEmpty(), allowed);
        return;
    }
    // Retained, so that what got through stays to be seen.
    const QByteArray mark = "acl " + QByteArray(QTest::currentDataTag());
    publish(topic, {QString::fromUtf8(mark)}, asUser + QStringList{"-r"});
    QCOMPARE(retained(topic) == mark, allowed);
    publish(topic, {}, {"-r", "-n"});
}

void TestBridge::brokerOutage_data() {
    QTest::addColumn<int>("outageMs");
    // From the broker's start: the bridge's pause then, at most 30 s, and 5 s
    // to publish everything again.
    QTest::addColumn<int>("withinMs");
    QTest::newRow("restarted at once") << 0 << 1000 + PromisedMs;
    QTest::newRow("stopped for 3 s") << 3000 << 4000 + PromisedMs;
    QTest::newRow("stopped for 40 s") << 40000 << 30000 + PromisedMs;
}

void TestBridge::brokerOutage() {
    QFETCH(int, outageMs);
    QFETCH(int, withinMs);
    siteBridge();
    QByteArray &log = bridges.front()->log;
    const qsizetype from = log.size();
    stopBroker();
    QTest::qWait(outageMs);
    startBroker();
    QDeadlineTimer deadline(withinMs);
    for (const QString topic :
         {"homeassistant/switch/site__t36link0__fe80_3a_3a10/switch/config",
          "homeassistant/light/site__t36link0__fe80_3a_3a14/light/config",
          "ternix36/site/t36link0/fe80::15/state", "ternix36/site/t36link1/fe80::10/state",
          "ternix36/site/t36link0/fe80::12/availability", "ternix36/site/availability"})
        QVERIFY2(waitForTopic(
                     topic, [](const QByteArray &p) { return !p.isEmpty(); },
                     int(deadline.remainingTime())),
                 qPrintable(topic));
    // Lost and back, each said once; no minute passed to say it is still trying.
    QCOMPARE(log.mid(from).count("connection lost"), 1);
    QCOMPARE(log.mid(from).count("connected again"), 1);
    QCOMPARE(log.mid(from).count("still not connected"), 0);
}

void TestBridge::oneIdOneBridge() {
    useBridges({{"twin", {"--interface", Link1}}});
    const qint64 firstPid = bridges.front()->process.processId();
    const qsizetype from = bridges.front()->log.size();
    Bridge *second = startBridge("twin", {"--interface", Link2});
    QVERIFY(second->process.waitForFinished(10000));
    QCOMPARE(second->process.exitCode(), 1);
    const QByteArray expected = "the bridge id twin is served by ternix36-bridge on host ";
    QVERIFY2(second->log.contains(expected), second->log.constData());
    QVERIFY2(second->log.contains("(process " + QByteArray::number(firstPid) + ","),
             second->log.constData());
    bridges.pop_back();
    // The first went on undisturbed, its nodes online.
    QCOMPARE(bridges.front()->process.state(), QProcess::Running);
    QVERIFY(!bridges.front()->log.mid(from).contains("connection lost"));
    QCOMPARE(retained("ternix36/twin/availability"), QByteArray("online"));
    QCOMPARE(retained("ternix36/twin/t36link1/fe80::10/availability"), QByteArray());
}

// Four nodes of our own send as fast as they can; remove, a command and
// SIGTERM each take effect within a second nonetheless.
void TestBridge::floodHoldsNothingUp() {
    useBridges({{"flood2", {"--interface", Link1}}});
    const QString removed = "ternix36/flood2/t36link0/fe80::7b";
    const QString config = "homeassistant/switch/flood2__t36link0__fe80_3a_3a7b/switch/config";
    {
        const LinkNode node("fe80::7b", simPid);
        QVERIFY(node.send(QByteArray::fromHex("0010010000")));
    }
    QVERIFY(waitForTopic(config, [](const QByteArray &p) { return !p.isEmpty(); }));

    std::atomic<bool> flooding{true};
    std::vector<std::thread> senders;
    for (int i = 0; i < 4; ++i)
        senders.emplace_back([this, i, &flooding] {
            const LinkNode node(QStringLiteral("fe80::f10:%1").arg(i), simPid);
            while (flooding.load())
                node.send(QByteArray::fromHex("00210100"));
        });
    const auto stopFlooding = qScopeGuard([&] {
        flooding = false;
        for (std::thread &sender : senders)
            sender.join();
    });
    QTest::qWait(3000);

    // Each within the time promised, while the flood goes on: a bridge held
    // up by it would do none of them before it ends.
    publish(removed + "/remove", {"x"});
    QTRY_COMPARE_WITH_TIMEOUT(retained(config), QByteArray(), PromisedMs);

    const int from = simLog.size();
    publish("ternix36/flood2/t36link0/fe80::12/poll/set", {"PRESS"});
    QVERIFY(simLog.waitFor(SimLog::event("received", "command", "fe80::12"), from, nullptr,
                           PromisedMs));

    QProcess &bridge = bridges.front()->process;
    ::kill(pid_t(bridge.processId()), SIGTERM);
    QVERIFY(bridge.waitForFinished(PromisedMs));
    QCOMPARE(bridge.exitCode(), 0);
    bridges.clear();
}

// The nodes a bridge knew, heard once and silent since: all of them offline
// after a restart, however few messages the broker queues for one client.
void TestBridge::restartReadsBackEveryNode() {
    constexpr int Nodes = 1500;
    const QList<QPair<QString, QStringList>> many = {{"many", {"--interface", Link1}}};
    useBridges(many);
    const auto topic = [](int i) {
        return QStringLiteral("ternix36/many/t36link0/fe80::e:%1/availability").arg(i, 0, 16);
    };
    for (int i = 0; i < Nodes; ++i) {
        const LinkNode node(QStringLiteral("fe80::e:%1").arg(i, 0, 16), simPid);
        QVERIFY(node.send(QByteArray::fromHex("00210100")));
    }
    for (int i = 0; i < Nodes; ++i)
        QVERIFY2(waitForPayload(topic(i), "online"), qPrintable(topic(i)));

    stopBridges();
    useBridges(many);
    for (int i = 0; i < Nodes; ++i)
        QVERIFY2(waitForPayload(topic(i), "offline"), qPrintable(topic(i)));
}

// A link of its own, t36vanish, whose far end is in the simulator's
// namespace: deleted and made again under a running bridge.
void TestBridge::interfaceComesBack() {
    const auto makeLink = [this] {
        const QString sim = QString::number(simPid);
        for (const QStringList &command :
             {QStringList{"link", "add", "t36vanish", "type", "veth", "peer", "name", "t36vpeer",
                          "netns", sim},
              QStringList{"link", "set", "t36vanish", "addrgenmode", "none"},
              QStringList{"-6", "addr", "add", "fe80::ffff:3/64", "dev", "t36vanish", "nodad"},
              QStringList{"link", "set", "t36vanish", "up"},
              QStringList{"--net=/proc/" + sim + "/ns/net", program("ip"), "link", "set",
                          "t36vpeer", "addrgenmode", "none"},
              QStringList{"--net=/proc/" + sim + "/ns/net", program("ip"), "-6", "addr", "add",
                          "fe80::7c/64", "dev", "t36vpeer", "nodad"},
              QStringList{"--net=/proc/" + sim + "/ns/net", program("ip"), "link", "set",
                          "t36vpeer", "up"}})
            if (QProcess::execute(program(command.first().startsWith("--") ? "nsenter" : "ip"),
                                  command) != 0)
                return false;
        return true;
    };
    QProcess::execute(program("ip"), {"link", "del", "t36vanish"});
    if (!makeLink())
        QSKIP("cannot make a veth pair here");
    const auto removeLink = qScopeGuard([this] {
        stopBridges();
        QProcess::execute(program("ip"), {"link", "del", "t36vanish"});
    });
    useBridges({{"vanish", {"--interface", "t36vanish"}}});
    QByteArray &log = bridges.front()->log;
    const QString topic = "ternix36/vanish/t36vanish/fe80::7c/availability";
    std::optional<LinkNode> node;
    QTimer reporting;
    reporting.setInterval(200);
    connect(&reporting, &QTimer::timeout, this,
            [&node] { node->send(QByteArray::fromHex("0010010000")); });
    node.emplace("fe80::7c", simPid, "t36vpeer", "fe80::ffff:3");
    reporting.start();
    QVERIFY(waitForPayload(topic, "online"));

    reporting.stop();
    QCOMPARE(QProcess::execute(program("ip"), {"link", "del", "t36vanish"}), 0);
    QVERIFY2(waitForPayload(topic, "offline"), "still online with its link gone");
    QTRY_COMPARE_WITH_TIMEOUT(log.count("interface t36vanish is gone"), 1, Timeout);

    QVERIFY(makeLink());
    node.emplace("fe80::7c", simPid, "t36vpeer", "fe80::ffff:3");
    reporting.start();
    // Within one probe period (--probe-every 2).
    QVERIFY2(waitForPayload(topic, "online", 2000), "not heard again");
    QCOMPARE(log.count("interface t36vanish is gone"), 1);
}

// A name that changes with every report: its configs go out at most once a
// second, the last name always.
void TestBridge::namesChangingFast() {
    siteBridge();
    const QString config = "homeassistant/switch/site__t36link0__fe80_3a_3a7d/switch/config";
    const LinkNode node("fe80::7d", simPid);
    QVERIFY(node.send(QByteArray::fromHex("0010010005") + "name0"));
    QVERIFY(waitForTopic(config, [](const QByteArray &) { return true; }));
    const int before = counts.value(config);
    QElapsedTimer sending;
    sending.start();
    for (int i = 1; i <= 50; ++i) {
        QVERIFY(node.send(QByteArray::fromHex("0010010006") + "name" +
                          QByteArray::number(i).rightJustified(2, '0')));
        QTest::qWait(10);
    }
    QVERIFY(waitForTopic(config, [](const QByteArray &p) {
        return json(p)["device"].toObject()["name"].toString() == u"name50";
    }));
    QVERIFY2(counts.value(config) - before <= sending.elapsed() / 1000 + 2,
             qPrintable(QString::number(counts.value(config) - before)));
}

void TestBridge::cleanup() {
    if (!QTest::currentTestFailed())
        return;
    for (const auto &bridge : bridges)
        qInfo().noquote() << "the log of bridge" << bridge->id << ":\n" << bridge->log;
}

void TestBridge::cleanupTestCase() {
    for (const auto &bridge : bridges) {
        bridge->process.kill();
        bridge->process.waitForFinished();
    }
    bridges.clear();
    stopBroker();
}

QTEST_GUILESS_MAIN(TestBridge)
#include "tst_bridge.moc"
