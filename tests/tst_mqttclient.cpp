// SPDX-License-Identifier: GPL-3.0-or-later
// The MQTT client's states against Debian's real mosquitto, one row for each
// way out of a state: what the client goes through from its start, when the
// broker is there, refuses, is not there, does not answer, or goes away.

#include "mqtt/MqttClient.h"

#include <QDeadlineTimer>
#include <QMetaEnum>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

namespace {
constexpr int Timeout = 15000;

QString program(const char *name) {
    return QStandardPaths::findExecutable(QLatin1String(name),
                                          {"/usr/sbin", "/usr/bin", "/sbin", "/bin"});
}

quint16 freePort() {
    QTcpServer free;
    return free.listen(QHostAddress::LocalHost, 0) ? free.serverPort() : 0;
}
} // namespace

class TestMqttClient : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void transitions_data();
    void transitions();
    void cleanupTestCase();

private:
    void startBroker();
    bool listening(quint16 port) const;
    QByteArray retained(const QString &topic) const;

    QTemporaryDir work;
    quint16 port = 0;
    quint16 passwordPort = 0;
    QProcess broker;
};

void TestMqttClient::initTestCase() {
    if (program("mosquitto").isEmpty())
        QSKIP("no mosquitto here (scripts/install-deps.sh installs it)");
    QVERIFY(work.isValid());
    port = freePort();
    passwordPort = freePort();
    QFile passwords(work.filePath("passwords"));
    QVERIFY(passwords.open(QIODevice::WriteOnly));
    passwords.close();
    QCOMPARE(QProcess::execute(program("mosquitto_passwd"),
                               {"-b", work.filePath("passwords"), "user", "s3cret"}),
             0);
    QFile config(work.filePath("mosquitto.conf"));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write(QStringLiteral("per_listener_settings true\npersistence false\nuser root\n"
                                "listener %1 127.0.0.1\nallow_anonymous true\n"
                                "listener %2 127.0.0.1\nallow_anonymous false\n"
                                "password_file %3\n")
                     .arg(port)
                     .arg(passwordPort)
                     .arg(work.filePath("passwords"))
                     .toUtf8());
    config.close();
    startBroker();
}

void TestMqttClient::startBroker() {
    broker.start(program("mosquitto"), {"-c", work.filePath("mosquitto.conf")});
    QVERIFY(broker.waitForStarted());
    QDeadlineTimer deadline(Timeout);
    while (!listening(port) || !listening(passwordPort)) {
        QVERIFY2(!deadline.hasExpired(), "mosquitto does not listen");
        QTest::qWait(50);
    }
}

bool TestMqttClient::listening(quint16 listener) const {
    QTcpSocket probe;
    probe.connectToHost(QHostAddress::LocalHost, listener);
    return probe.waitForConnected(200);
}

QByteArray TestMqttClient::retained(const QString &topic) const {
    QProcess reader;
    reader.start(program("mosquitto_sub"), {"-h", "127.0.0.1", "-p", QString::number(port), "-t",
                                            topic, "--retained-only", "-C", "1", "-W", "1"});
    reader.waitForFinished();
    return reader.readAllStandardOutput().trimmed();
}

void TestMqttClient::transitions_data() {
    // broker, password (a listener that wants one), closed (nothing listens),
    // silent (accepts, never answers), nowhere (a name without an address),
    // bad CA (a TLS set-up that cannot be made)
    QTest::addColumn<QString>("target");
    // What happens once the client has entered `at`: stop, stop with a last
    // message, restart the broker, or freeze the broker and stop.
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("at");
    QTest::addColumn<QStringList>("states"); // from the start on

    QTest::newRow("Idle, start: Connecting; accepted: Connected")
        << "broker"
        << ""
        << "" << QStringList{"Connecting", "Connected"};
    QTest::newRow("Idle, a set-up that fails: Stopped") << "bad CA"
                                                        << ""
                                                        << "" << QStringList{"Stopped"};
    QTest::newRow("Idle, stop: Stopped") << "broker"
                                         << "stop"
                                         << "Idle" << QStringList{"Stopped"};
    QTest::newRow("Connecting, refused: Waiting, and again")
        << "password"
        << ""
        << "" << QStringList{"Connecting", "Waiting", "Connecting", "Waiting", "Connecting"};
    QTest::newRow("Connecting, failed at once: Waiting, and again")
        << "closed"
        << ""
        << "" << QStringList{"Connecting", "Waiting", "Connecting", "Waiting", "Connecting"};
    QTest::newRow("Connecting, a name without an address: Waiting, and again")
        << "nowhere"
        << ""
        << "" << QStringList{"Connecting", "Waiting", "Connecting", "Waiting", "Connecting"};
    QTest::newRow("Connecting, timed out: Waiting, and again")
        << "silent"
        << ""
        << "" << QStringList{"Connecting", "Waiting", "Connecting"};
    QTest::newRow("Connecting, stop: Stopped")
        << "silent"
        << "stop"
        << "Connecting" << QStringList{"Connecting", "Stopped"};
    QTest::newRow("Connected, lost: Waiting, until the broker is back")
        << "broker"
        << "restart the broker"
        << "Connected"
        << QStringList{"Connecting", "Connected", "Waiting", "Connecting", "Connected"};
    QTest::newRow("Connected, stop: Stopping; delivered: Stopped")
        << "broker"
        << "stop with a last message"
        << "Connected" << QStringList{"Connecting", "Connected", "Stopping", "Stopped"};
    QTest::newRow("Stopping, no answer: Stopped")
        << "broker"
        << "freeze the broker and stop"
        << "Connected" << QStringList{"Connecting", "Connected", "Stopping", "Stopped"};
    QTest::newRow("Waiting, stop: Stopped")
        << "closed"
        << "stop"
        << "Waiting" << QStringList{"Connecting", "Waiting", "Stopped"};
}

void TestMqttClient::transitions() {
    QFETCH(QString, target);
    QFETCH(QString, action);
    QFETCH(QString, at);
    QFETCH(QStringList, states);

    QTcpServer silent;
    MqttClient_t::Settings_t settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = port;
    settings.clientId = QStringLiteral("tst_mqttclient-%1").arg(QTest::currentDataTag());
    settings.connectWaitMs = 1000;
    settings.firstPauseMs = 100;
    settings.longestPauseMs = 400;
    if (target == u"password") {
        settings.port = passwordPort;
    } else if (target == u"closed") {
        settings.port = freePort();
    } else if (target == u"silent") {
        QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
        settings.port = silent.serverPort();
    } else if (target == u"nowhere") {
        settings.host = QStringLiteral("nowhere.invalid");
    } else if (target == u"bad CA") {
        settings.tls = true;
        settings.caFile = work.filePath("missing.pem");
    }
    auto client = std::make_unique<MqttClient_t>(settings);
    QStringList seen;
    const QMetaEnum names = QMetaEnum::fromType<MqttClient_t::State_t>();
    connect(client.get(), &MqttClient_t::stateChanged, this,
            [&](MqttClient_t::State_t state) { seen.append(names.valueToKey(int(state))); });

    const QString lastTopic = QStringLiteral("tst_mqttclient/last");
    const auto act = [&] {
        if (action == u"stop") {
            client->_Stop();
        } else if (action == u"stop with a last message") {
            client->_Stop(lastTopic, "bye");
        } else if (action == u"restart the broker") {
            broker.kill();
            broker.waitForFinished();
            QTRY_VERIFY_WITH_TIMEOUT(seen.endsWith("Waiting"), Timeout);
            startBroker();
        } else if (action == u"freeze the broker and stop") {
            ::kill(pid_t(broker.processId()), SIGSTOP);
            client->_Stop(lastTopic, "frozen");
        }
    };
    if (at == u"Idle") {
        act();
    } else {
        QString error;
        QCOMPARE(client->_Start(&error), target != u"bad CA");
        if (!action.isEmpty()) {
            QTRY_VERIFY_WITH_TIMEOUT(seen.contains(at), Timeout);
            act();
        }
    }
    QTRY_VERIFY_WITH_TIMEOUT(seen.size() >= states.size(), Timeout);
    ::kill(pid_t(broker.processId()), SIGCONT);
    QCOMPARE(seen.mid(0, states.size()), states);
    if (action == u"stop with a last message")
        QCOMPARE(retained(lastTopic), QByteArray("bye"));
    if (states.last() == u"Stopped") {
        // Stopped stays Stopped.
        QString error;
        QVERIFY(client->_Start(&error));
        client->_Stop();
        QTest::qWait(200);
        QCOMPARE(seen, states);
    }
}

void TestMqttClient::cleanupTestCase() {
    ::kill(pid_t(broker.processId()), SIGCONT);
    broker.kill();
    broker.waitForFinished();
}

QTEST_GUILESS_MAIN(TestMqttClient)
#include "tst_mqttclient.moc"
