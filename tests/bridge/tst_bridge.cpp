// SPDX-License-Identifier: GPL-3.0-or-later
// ternix36-bridge as a hub sees it: Debian's mosquitto on a free port of this
// test's private namespace, the bridge on the test link to the simulator, and
// mosquitto_sub and mosquitto_pub for the hub's side. The simulator's log
// shows what reached the nodes.

#include "FreeSender.h"
#include "SimLog.h"
#include "protocol/ADPlugWire.h"
#include "protocol/BlindsWire.h"
#include "protocol/BrightWire.h"
#include "protocol/DimmerWire.h"
#include "protocol/PlugWire.h"
#include "protocol/ReportReader.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>

namespace {

constexpr int Timeout = 15000;

// The nodes that tests/bridge/CMakeLists.txt gives the simulator, and the
// entities each one must be discovered with.
struct Node {
    const char *address;
    const char *nodeId;
    QList<QPair<QString, QString>> entities; // component, object
};
const QList<QPair<QString, QString>> PlugEntities = {
    {"switch", "switch"}, {"sensor", "real_power"}, {"sensor", "apparent_power"}};
const QList<QPair<QString, QString>> SensorEntities = {
    {"sensor", "temperature"}, {"sensor", "brightness"}, {"button", "poll"}};
const QList<Node> Nodes = {
    {"fe80::10", "fe80__10", PlugEntities},         {"fe80::11", "fe80__11", PlugEntities},
    {"fe80::12", "fe80__12", SensorEntities},       {"fe80::13", "fe80__13", SensorEntities},
    {"fe80::14", "fe80__14", {{"light", "light"}}}, {"fe80::15", "fe80__15", {{"cover", "cover"}}},
};
const QStringList CommandTopics = {
    "ternix36/fe80::10/switch/set", "ternix36/fe80::11/switch/set", "ternix36/fe80::12/poll/set",
    "ternix36/fe80::13/poll/set",   "ternix36/fe80::14/light/set",  "ternix36/fe80::15/cover/set",
};

QString configTopic(const Node &node, const QPair<QString, QString> &entity) {
    return QStringLiteral("homeassistant/%1/%2/%3/config")
        .arg(entity.first, QLatin1String(node.nodeId), entity.second);
}

QString program(const char *name) {
    return QStandardPaths::findExecutable(QLatin1String(name),
                                          {"/usr/sbin", "/usr/bin", "/sbin", "/bin"});
}

} // namespace

class TestBridge : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void discoveryForEveryKind();
    void statesFollowReports();
    void commandsReachTheNodes_data();
    void commandsReachTheNodes();
    // The plug off, the dimmer on: the other halves of the states.
    void statesFollowCommands() { checkStatesFollowReports(); }
    void dimmerLevelsAreRateLimited();
    void garbageSendsNothing();
    void silentNodeGoesOfflineAndBack();
    void brokerRestartRepublishes();
    void sigtermEndsCleanly();
    void cleanup();
    void cleanupTestCase();

private:
    void startBroker();
    void stopBroker();
    void startSubscriber();
    void readSubscriber();
    void publish(const QString &topic, const QStringList &lines);
    // The latest payload of a topic, or a null array while none came.
    QByteArray latest(const QString &topic) const { return messages.value(topic); }
    bool waitForTopic(const QString &topic, const std::function<bool(const QByteArray &)> &ok,
                      int timeoutMs = Timeout);
    QList<QJsonObject> receivedCommands(int fromLine) const;
    void checkStatesFollowReports();

    QTemporaryDir work;
    quint16 port = 0;
    QProcess broker;
    QProcess subscriber;
    QProcess bridge;
    QByteArray bridgeLog;
    QHash<QString, QByteArray> messages;
    QByteArray subscriberBuffer;
    SimLog simLog{qEnvironmentVariable("TERNIX36_SIM_LOG")};
};

void TestBridge::startBroker() {
    broker.setProgram(program("mosquitto"));
    broker.setArguments({"-c", work.filePath("mosquitto.conf")});
    broker.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    broker.start();
    QVERIFY(broker.waitForStarted());
    QDeadlineTimer deadline(Timeout);
    for (;;) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, port);
        if (probe.waitForConnected(200))
            break;
        QVERIFY2(!deadline.hasExpired(), "mosquitto does not listen");
        QTest::qWait(50);
    }
}

void TestBridge::stopBroker() {
    broker.kill();
    broker.waitForFinished();
    subscriber.kill();
    subscriber.waitForFinished();
    messages.clear();
    subscriberBuffer.clear();
}

// Everything the bridge publishes, but not the command topics, whose garbage
// could hold line breaks.
void TestBridge::startSubscriber() {
    subscriber.setProgram(program("mosquitto_sub"));
    subscriber.setArguments({"-h", "127.0.0.1", "-p", QString::number(port), "-v", "-t",
                             "homeassistant/#", "-t", "ternix36/+/state", "-t",
                             "ternix36/+/availability"});
    subscriber.start();
    QVERIFY(subscriber.waitForStarted());
}

void TestBridge::readSubscriber() {
    subscriberBuffer += subscriber.readAllStandardOutput();
    qsizetype end;
    while ((end = subscriberBuffer.indexOf('\n')) >= 0) {
        const QByteArray line = subscriberBuffer.left(end);
        subscriberBuffer.remove(0, end + 1);
        const qsizetype space = line.indexOf(' ');
        if (space > 0)
            messages.insert(QString::fromUtf8(line.left(space)), line.mid(space + 1));
    }
}

void TestBridge::publish(const QString &topic, const QStringList &lines) {
    QProcess publisher;
    publisher.start(program("mosquitto_pub"),
                    {"-h", "127.0.0.1", "-p", QString::number(port), "-t", topic, "-l"});
    QVERIFY(publisher.waitForStarted());
    publisher.write((lines.join(u'\n') + u'\n').toUtf8());
    publisher.closeWriteChannel();
    QVERIFY(publisher.waitForFinished());
    QCOMPARE(publisher.exitCode(), 0);
}

bool TestBridge::waitForTopic(const QString &topic,
                              const std::function<bool(const QByteArray &)> &ok, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        readSubscriber();
        if (messages.contains(topic) && ok(latest(topic)))
            return true;
        QTest::qWait(20);
    }
    return false;
}

QList<QJsonObject> TestBridge::receivedCommands(int fromLine) const {
    return simLog.matching(
        [](const QJsonObject &entry) {
            return entry["event"].toString() == "received" && entry["note"].toString() == "command";
        },
        fromLine);
}

void TestBridge::initTestCase() {
    QVERIFY2(!qEnvironmentVariableIsEmpty("TERNIX36_LINK_IF"), "run me through test-link.sh");
    QVERIFY2(!program("mosquitto").isEmpty() && !program("mosquitto_sub").isEmpty() &&
                 !program("mosquitto_pub").isEmpty(),
             "mosquitto and mosquitto-clients are needed (scripts/install-deps.sh)");
    QVERIFY(work.isValid());
    {
        QTcpServer free;
        QVERIFY(free.listen(QHostAddress::LocalHost, 0));
        port = free.serverPort();
    }
    QFile config(work.filePath("mosquitto.conf"));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence false\n")
                     .arg(port)
                     .toUtf8());
    config.close();
    startBroker();
    startSubscriber();

    bridge.setProgram(QStringLiteral(BRIDGE_PROGRAM));
    bridge.setArguments({"--interface", qEnvironmentVariable("TERNIX36_LINK_IF"), "--broker",
                         QStringLiteral("mqtt://127.0.0.1:%1").arg(port), "--probe-every", "2"});
    connect(&bridge, &QProcess::readyReadStandardError, this,
            [this] { bridgeLog += bridge.readAllStandardError(); });
    bridge.start();
    QVERIFY(bridge.waitForStarted());
}

void TestBridge::discoveryForEveryKind() {
    QSet<QString> uniqueIds;
    for (const Node &node : Nodes) {
        const QString base = QStringLiteral("ternix36/%1").arg(QLatin1String(node.address));
        for (const auto &entity : node.entities) {
            const QString topic = configTopic(node, entity);
            QVERIFY2(waitForTopic(topic, [](const QByteArray &) { return true; }),
                     qPrintable(topic));
            QJsonParseError error;
            const QJsonObject config = QJsonDocument::fromJson(latest(topic), &error).object();
            QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(topic));
            QCOMPARE(config["device"]["identifiers"].toArray(),
                     QJsonArray{QLatin1String(node.address)});
            QVERIFY(!config["unique_id"].toString().isEmpty());
            uniqueIds.insert(config["unique_id"].toString());
            QCOMPARE(config["availability"].toArray(),
                     (QJsonArray{QJsonObject{{"topic", "ternix36/bridge/availability"}},
                                 QJsonObject{{"topic", base + "/availability"}}}));
            if (entity.first != u"button")
                QCOMPARE(config["state_topic"].toString(), base + "/state");
            if (entity.first != u"sensor")
                QCOMPARE(config["command_topic"].toString(),
                         QStringLiteral("%1/%2/set").arg(base, entity.second));
        }
        QVERIFY(waitForTopic(base + "/availability",
                             [](const QByteArray &p) { return p == "online"; }));
    }
    QCOMPARE(uniqueIds.size(), 14);
    QCOMPARE(latest("ternix36/bridge/availability"), QByteArray("online"));
    // The bridge sent nothing on its own: no level 0 to the dimmer, nothing at all.
    QCOMPARE(receivedCommands(0).size(), 0);
}

void TestBridge::statesFollowReports() {
    checkStatesFollowReports();
}

void TestBridge::checkStatesFollowReports() {
    for (const Node &node : Nodes) {
        const QString address = QLatin1String(node.address);
        const QString topic = QStringLiteral("ternix36/%1/state").arg(address);
        QString wanted, shown;
        const bool followed = waitForTopic(topic, [&](const QByteArray &payload) {
            const QList<QJsonObject> reports = simLog.matching([&](const QJsonObject &entry) {
                return entry["event"].toString() == "sent" && entry["src"].toString() == address;
            });
            if (reports.isEmpty())
                return false;
            const QByteArray report =
                QByteArray::fromHex(reports.last()["hex"].toString().toLatin1());
            const ReportReader_t reader(report);
            const QJsonObject state = QJsonDocument::fromJson(payload).object();
            QJsonObject expected;
            switch (reader._U16(1)) {
            case Ternix36::KindPlug: {
                const auto reading = PlugWire_t::_Read(reader);
                expected = {{"state", reading.hasReadings ? "ON" : "OFF"},
                            {"real_power", reading.realPower / 100.0},
                            {"apparent_power", reading.apparentPower / 100.0}};
                break;
            }
            case Ternix36::KindADPlug: {
                const auto reading = ADPlugWire_t::_Read(reader);
                expected = {{"state", reading.on ? "ON" : "OFF"},
                            {"real_power", reading.realPower / 100.0},
                            {"apparent_power", reading.apparentPower / 100.0}};
                break;
            }
            case Ternix36::KindBright:
            case Ternix36::KindBright2: {
                const auto reading = BrightWire_t::_Read(reader);
                expected = {{"temperature", reading.temperatureTenths / 10.0},
                            {"brightness", reading.brightness}};
                break;
            }
            case Ternix36::KindDimmer: {
                const int level = DimmerWire_t::_Level(reader);
                expected = {{"state", level > 0 ? "ON" : "OFF"}, {"brightness", level}};
                break;
            }
            case Ternix36::KindBlinds:
                switch (BlindsWire_t::_State(reader)) {
                case BlindsWire_t::Up:
                    expected = {{"state", "opening"}};
                    break;
                case BlindsWire_t::Down:
                    expected = {{"state", "closing"}};
                    break;
                default:
                    expected = {{"state", "stopped"}};
                    break;
                }
                break;
            }
            if (reader._U16(1) != Ternix36::KindBlinds)
                expected.insert("name", reader._NodeName());
            QJsonObject compared;
            for (auto i = expected.begin(); i != expected.end(); ++i)
                compared.insert(i.key(), state.value(i.key()));
            wanted = QJsonDocument(expected).toJson(QJsonDocument::Compact);
            shown = QJsonDocument(compared).toJson(QJsonDocument::Compact);
            return compared == expected;
        });
        QVERIFY2(followed, qPrintable(QStringLiteral("%1: %2, not %3").arg(topic, shown, wanted)));
    }
}

void TestBridge::commandsReachTheNodes_data() {
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QString>("payload");
    QTest::addColumn<QString>("node");
    QTest::addColumn<QString>("bytes");

    // The simulated plug starts on, the AD plug off.
    QTest::newRow("plug off") << "ternix36/fe80::10/switch/set"
                              << "OFF"
                              << "fe80::10"
                              << "c01001";
    QTest::newRow("adplug on") << "ternix36/fe80::11/switch/set"
                               << "ON"
                               << "fe80::11"
                               << "c0200101";
    QTest::newRow("adplug off") << "ternix36/fe80::11/switch/set"
                                << "OFF"
                                << "fe80::11"
                                << "c0200100";
    QTest::newRow("poll") << "ternix36/fe80::12/poll/set"
                          << "PRESS"
                          << "fe80::12"
                          << "c01101";
    QTest::newRow("poll 0x0112 as 0x0111") << "ternix36/fe80::13/poll/set"
                                           << "PRESS"
                                           << "fe80::13"
                                           << "c01101";
    QTest::newRow("dimmer 40") << "ternix36/fe80::14/light/set"
                               << "{\"state\":\"ON\",\"brightness\":40}"
                               << "fe80::14"
                               << "c0300101a8";
    QTest::newRow("dimmer off") << "ternix36/fe80::14/light/set"
                                << "{\"state\":\"OFF\"}"
                                << "fe80::14"
                                << "c030010180";
    QTest::newRow("dimmer on: the last level") << "ternix36/fe80::14/light/set"
                                               << "{\"state\":\"ON\"}"
                                               << "fe80::14"
                                               << "c0300101a8";
    QTest::newRow("open") << "ternix36/fe80::15/cover/set"
                          << "OPEN"
                          << "fe80::15"
                          << "c0210103";
    QTest::newRow("close") << "ternix36/fe80::15/cover/set"
                           << "CLOSE"
                           << "fe80::15"
                           << "c0210101";
    QTest::newRow("stop") << "ternix36/fe80::15/cover/set"
                          << "STOP"
                          << "fe80::15"
                          << "c0210100";
}

void TestBridge::commandsReachTheNodes() {
    QFETCH(QString, topic);
    QFETCH(QString, payload);
    QFETCH(QString, node);
    QFETCH(QString, bytes);
    const int from = simLog.size();
    publish(topic, {payload});
    int line = 0;
    const auto command = simLog.waitFor(SimLog::event("received", "command", node), from, &line);
    QVERIFY2(command, "nothing reached the node");
    QCOMPARE(command->value("hex").toString(), bytes);
    QCOMPARE(command->value("dst").toString(), node);
}

void TestBridge::dimmerLevelsAreRateLimited() {
    // The bridge's limiter, in another process, lets a level pass at once
    // again once it has been idle for one 200 ms interval after the last one.
    QTest::qWait(500);
    const int from = simLog.size();
    QStringList levels;
    for (int level = 10; level <= 50; level += 10)
        levels.append(QStringLiteral("{\"state\":\"ON\",\"brightness\":%1}").arg(level));
    publish("ternix36/fe80::14/light/set", levels);
    // The last level always goes out; the first at once.
    QVERIFY(simLog.waitFor(
        [](const QJsonObject &entry) {
            return entry["note"].toString() == "command" && entry["hex"].toString() == "c0300101b2";
        },
        from));
    const QList<QJsonObject> sent = receivedCommands(from);
    QCOMPARE(sent.first()["hex"].toString(), QStringLiteral("c03001018a"));
    QVERIFY2(sent.size() < levels.size(), "every level went out at once");
}

void TestBridge::garbageSendsNothing() {
    const QStringList garbage = {"garbage",
                                 "{",
                                 "{\"state\":\"ON\",\"brightness\":500}",
                                 "{\"state\":\"DIM\"}",
                                 "1",
                                 "PRESS PRESS",
                                 "on",
                                 "[\"ON\"]"};
    QStringList topics = CommandTopics;
    topics << "ternix36/fe80::10/light/set"
           << "ternix36/fe80::99/switch/set";
    const int from = simLog.size();
    const qsizetype logFrom = bridgeLog.size();
    for (const QString &topic : std::as_const(topics))
        publish(topic, garbage);

    // Then one good command: once it arrives, everything before it was handled.
    publish("ternix36/fe80::12/poll/set", {"PRESS"});
    QVERIFY(simLog.waitFor(SimLog::event("received", "command", "fe80::12"), from));
    const QList<QJsonObject> sent = receivedCommands(from);
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent.first()["hex"].toString(), QStringLiteral("c01101"));
    QCOMPARE(bridge.state(), QProcess::Running);
    // One warning line per payload.
    QTRY_COMPARE_WITH_TIMEOUT(bridgeLog.mid(logFrom).count("\n<4>") +
                                  (bridgeLog.mid(logFrom).startsWith("<4>") ? 1 : 0),
                              topics.size() * garbage.size(), Timeout);
}

void TestBridge::silentNodeGoesOfflineAndBack() {
    // A plug of our own, reporting while it "lives"; any datagram after a probe answers it.
    const QString address = QStringLiteral("2001:db8::77");
    const QString topic = QStringLiteral("ternix36/%1/availability").arg(address);
    FreeSender node{QHostAddress(address)};
    QVERIFY(node.isBound());
    QTimer reporting;
    reporting.setInterval(200);
    connect(&reporting, &QTimer::timeout, this,
            [&node] { node.send(QByteArray::fromHex("0010010000")); });
    reporting.start();
    const auto is = [](const char *text) {
        return [=](const QByteArray &p) {
            return p == text;
        };
    };
    QVERIFY(waitForTopic(topic, is("online")));

    reporting.stop();
    QVERIFY2(waitForTopic(topic, is("offline")), "still online after a probe went unanswered");
    reporting.start();
    QVERIFY2(waitForTopic(topic, is("online"), 3000), "not online again");
    reporting.stop();
}

void TestBridge::brokerRestartRepublishes() {
    stopBroker();
    startBroker();
    startSubscriber();
    QDeadlineTimer deadline(10000);
    for (const Node &node : Nodes) {
        for (const auto &entity : node.entities)
            QVERIFY2(waitForTopic(
                         configTopic(node, entity), [](const QByteArray &) { return true; },
                         int(deadline.remainingTime())),
                     qPrintable(configTopic(node, entity)));
        const QString state = QStringLiteral("ternix36/%1/state").arg(QLatin1String(node.address));
        QVERIFY2(waitForTopic(
                     state, [](const QByteArray &) { return true; }, int(deadline.remainingTime())),
                 qPrintable(state));
    }
    QVERIFY(waitForTopic(
        "ternix36/bridge/availability", [](const QByteArray &p) { return p == "online"; },
        int(deadline.remainingTime())));
}

void TestBridge::sigtermEndsCleanly() {
    QVERIFY(waitForTopic("ternix36/bridge/availability",
                         [](const QByteArray &p) { return p == "online"; }));
    ::kill(pid_t(bridge.processId()), SIGTERM);
    QVERIFY(bridge.waitForFinished(Timeout));
    QCOMPARE(bridge.exitStatus(), QProcess::NormalExit);
    QCOMPARE(bridge.exitCode(), 0);
    QVERIFY(waitForTopic("ternix36/bridge/availability",
                         [](const QByteArray &p) { return p == "offline"; }));
}

void TestBridge::cleanup() {
    if (QTest::currentTestFailed())
        qInfo().noquote() << "the bridge's log:\n" << bridgeLog;
}

void TestBridge::cleanupTestCase() {
    if (bridge.state() != QProcess::NotRunning) {
        bridge.kill();
        bridge.waitForFinished();
    }
    stopBroker();
}

QTEST_GUILESS_MAIN(TestBridge)
#include "tst_bridge.moc"
