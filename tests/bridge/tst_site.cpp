// SPDX-License-Identifier: GPL-3.0-or-later
// The window as a site's console: Debian's mosquitto on free ports of this
// test's namespace (plain, with passwords, and with TLS), ternix36-bridge on
// the two test links, which holds port 4444 as it does beside the window on
// one host, and the window in site mode in this process. The simulators' logs
// show what reached the nodes.

#include "SimLog.h"
#include "app/MainWindow.h"
#include "app/SiteOptions.h"
#include "panels/ItemView.h"

#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

namespace {
constexpr int Timeout = 15000;
const QString Link1 = qEnvironmentVariable("TERNIX36_LINK_IF");
const QString Link2 = qEnvironmentVariable("TERNIX36_LINK2_IF");

QString program(const char *name) {
    return QStandardPaths::findExecutable(QLatin1String(name),
                                          {"/usr/sbin", "/usr/bin", "/sbin", "/bin"});
}

bool isCommand(const QJsonObject &entry) {
    return entry["event"].toString() == "received" && entry["note"].toString() == "command";
}
} // namespace

class TestSite : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void twoLinksOneAddress();
    void brokerStoppedForSeconds();
    void refusals_data();
    void refusals();
    void cleanupTestCase();

private:
    void startBroker();
    // The window on the plain listener, with every node of the bridge.
    std::unique_ptr<MainWindow_t> openSite(const QStringList &arguments);
    // ItemView_t has no meta-object of its own, so findChildren cannot tell it.
    QList<ItemView_t *> panels(MainWindow_t *window) const {
        QList<ItemView_t *> found;
        for (QFrame *frame : window->findChildren<QFrame *>())
            if (auto *panel = dynamic_cast<ItemView_t *>(frame))
                found.append(panel);
        return found;
    }
    ItemView_t *panelAt(MainWindow_t *window, const QString &addressText) const;
    // Waits for the bridge's seven nodes, one panel each.
    bool waitForEveryNode(MainWindow_t *window) const;
    // Presses Switch and waits for the node's report that answers it.
    void switchAndWaitForAnswer(ItemView_t *panel);
    QLabel *status(MainWindow_t *window) const {
        return window->findChild<QLabel *>(QStringLiteral("siteStatus"));
    }

    QTemporaryDir work;
    quint16 port = 0;
    quint16 passwordPort = 0;
    quint16 tlsPort = 0;
    QProcess broker;
    QProcess bridge;
    SimLog simLog{qEnvironmentVariable("TERNIX36_SIM_LOG")};
    SimLog sim2Log{qEnvironmentVariable("TERNIX36_SIM2_LOG")};
};

void TestSite::startBroker() {
    broker.start(program("mosquitto"), {"-c", work.filePath("mosquitto.conf")});
    QVERIFY(broker.waitForStarted());
    QDeadlineTimer deadline(Timeout);
    for (const quint16 listener : {port, passwordPort, tlsPort}) {
        for (;;) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, listener);
            if (probe.waitForConnected(200))
                break;
            QVERIFY2(!deadline.hasExpired(), "mosquitto does not listen");
            QTest::qWait(50);
        }
    }
}

void TestSite::initTestCase() {
    QCoreApplication::addLibraryPath(QStringLiteral(TERNIX36_SITE_MODULE_DIR));
    QVERIFY2(!Link1.isEmpty() && !Link2.isEmpty(), "run me through test-link.sh with two links");
    QVERIFY(work.isValid());
    QVERIFY(QDir(work.path()).mkdir("tls"));
    QCOMPARE(QProcess::execute(QStringLiteral(TLS_MATERIAL), {work.filePath("tls")}), 0);
    for (quint16 *listener : {&port, &passwordPort, &tlsPort}) {
        QTcpServer free;
        QVERIFY(free.listen(QHostAddress::LocalHost, 0));
        *listener = free.serverPort();
    }
    QFile config(work.filePath("mosquitto.conf"));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write(QStringLiteral("per_listener_settings true\npersistence false\nuser root\n"
                                "log_dest file %1\nlog_type all\n"
                                "listener %2 127.0.0.1\nallow_anonymous true\n"
                                "listener %3 127.0.0.1\nallow_anonymous false\npassword_file %4\n"
                                "listener %5 127.0.0.1\nallow_anonymous true\ncafile %6ca.pem\n"
                                "certfile %6server.pem\nkeyfile %6server.key\n")
                     .arg(work.filePath("mosquitto.log"))
                     .arg(port)
                     .arg(passwordPort)
                     .arg(work.filePath("passwords"))
                     .arg(tlsPort)
                     .arg(work.filePath("tls/"))
                     .toUtf8());
    config.close();
    QCOMPARE(QProcess::execute(program("mosquitto_passwd"),
                               {"-c", "-b", work.filePath("passwords"), "operator", "s3cret"}),
             0);
    startBroker();

    bridge.setProcessChannelMode(QProcess::ForwardedChannels);
    bridge.start(QStringLiteral(BRIDGE_PROGRAM),
                 {"--bridge-id", "site", "--interface", Link1, "--interface", Link2, "--broker",
                  QStringLiteral("mqtt://127.0.0.1:%1").arg(port)});
    QVERIFY(bridge.waitForStarted());
}

void TestSite::cleanupTestCase() {
    for (QProcess *process : {&bridge, &broker}) {
        ::kill(pid_t(process->processId()), SIGTERM);
        process->waitForFinished();
    }
}

std::unique_ptr<MainWindow_t> TestSite::openSite(const QStringList &arguments) {
    SiteOptions_t options;
    QString error;
    const auto parsed =
        SiteOptions_t::_Parse(QStringList{"ternix36-control"} + arguments, &options, &error);
    if (parsed != SiteOptions_t::Parsed_t::SiteMode)
        qWarning("%s", qPrintable(error));
    auto window = std::make_unique<MainWindow_t>(options);
    window->show();
    return window;
}

bool TestSite::waitForEveryNode(MainWindow_t *window) const {
    QDeadlineTimer deadline(Timeout);
    while (panels(window).size() != 7 && !deadline.hasExpired())
        QTest::qWait(50);
    QStringList addresses;
    for (ItemView_t *panel : panels(window))
        addresses << panel->_AddressText();
    if (panels(window).size() != 7)
        qWarning("panels: %s", qPrintable(addresses.join(", ")));
    return panels(window).size() == 7;
}

ItemView_t *TestSite::panelAt(MainWindow_t *window, const QString &addressText) const {
    for (ItemView_t *panel : panels(window))
        if (panel->_AddressText() == addressText)
            return panel;
    return nullptr;
}

void TestSite::switchAndWaitForAnswer(ItemView_t *panel) {
    auto *button = panel->findChild<QPushButton *>();
    QVERIFY(button);
    QCOMPARE(button->text(), "Switch");
    const qsizetype before = panel->_History()._Commands().size();
    button->click();
    QTRY_COMPARE_WITH_TIMEOUT(panel->_History()._Commands().size(), before + 1, Timeout);
    QTRY_VERIFY_WITH_TIMEOUT(panel->_History()._Commands().last().answerMs >= 0, Timeout);
}

void TestSite::twoLinksOneAddress() {
    auto window = openSite({"--site", QStringLiteral("mqtt://127.0.0.1:%1").arg(port)});
    // Six nodes on the first link, one on the second.
    QVERIFY(waitForEveryNode(window.get()));
    QCOMPARE(window->windowTitle(),
             QStringLiteral("ternix36-control: 127.0.0.1:%1: 7 nodes").arg(port));
    ItemView_t *first = panelAt(window.get(), QStringLiteral("fe80::10 (site, %1)").arg(Link1));
    ItemView_t *second = panelAt(window.get(), QStringLiteral("fe80::10 (site, %1)").arg(Link2));
    QVERIFY(first && second);
    QTRY_COMPARE_WITH_TIMEOUT(first->_NodeNameText(), "Desk lamp", Timeout);
    QTRY_COMPARE_WITH_TIMEOUT(second->_NodeNameText(), "Garage lamp", Timeout);

    // A Switch on each reaches its own link only, and is answered.
    const int from1 = simLog.size();
    const int from2 = sim2Log.size();
    switchAndWaitForAnswer(first);
    QCOMPARE(simLog.matching(isCommand, from1).size(), 1);
    QCOMPARE(sim2Log.matching(isCommand, from2).size(), 0);
    switchAndWaitForAnswer(second);
    QCOMPARE(simLog.matching(isCommand, from1).size(), 1);
    QCOMPARE(sim2Log.matching(isCommand, from2).size(), 1);
    QCOMPARE(simLog.matching(isCommand, from1).first()["dst"].toString(), "fe80::10");
    QCOMPARE(simLog.matching(isCommand, from1).first()["hex"].toString(), "c01001");

    // Home Assistant's birth makes the bridge publish every node's latest
    // report again: shown once already, it is not recorded again.
    const qsizetype reports = second->_History()._Full().size();
    QProcess birth;
    birth.start(program("mosquitto_pub"), {"-h", "127.0.0.1", "-p", QString::number(port), "-t",
                                           "homeassistant/status", "-m", "online"});
    QVERIFY(birth.waitForFinished());
    QTest::qWait(2000);
    QCOMPARE(second->_History()._Full().size(), reports);
}

void TestSite::brokerStoppedForSeconds() {
    auto window = openSite({"--site", QStringLiteral("mqtt://127.0.0.1:%1").arg(port)});
    QVERIFY(waitForEveryNode(window.get()));
    QLabel *line = status(window.get());
    QVERIFY(line);
    QTRY_VERIFY_WITH_TIMEOUT(line->isHidden(), Timeout);

    broker.kill();
    QVERIFY(broker.waitForFinished());
    QTRY_VERIFY_WITH_TIMEOUT(line->isVisible(), Timeout);
    QVERIFY2(line->text().startsWith(
                 QStringLiteral("No connection to the broker 127.0.0.1:%1 since ").arg(port)),
             qPrintable(line->text()));
    QTest::qWait(5000);
    QCOMPARE(panels(window.get()).size(), 7);
    startBroker();

    // Back by itself, with the bridge's back-off, and its commands answered again.
    QTRY_VERIFY_WITH_TIMEOUT(line->isHidden(), 40000);
    QCOMPARE(panels(window.get()).size(), 7);
    ItemView_t *panel = panelAt(window.get(), QStringLiteral("fe80::10 (site, %1)").arg(Link1));
    QVERIFY(panel);
    // The bridge, too, has to find the broker again.
    QTRY_VERIFY_WITH_TIMEOUT(!panel->_Liveness()._NotAnswering(), 40000);
    QTest::qWait(2000);
    switchAndWaitForAnswer(panel);
}

void TestSite::refusals_data() {
    QTest::addColumn<QString>("listener");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    const QString tls = work.filePath("tls/");
    QTest::newRow("wrong password")
        << "password" << QStringList{"--password-file", work.filePath("wrong")}
        << "refused the login of operator";
    QTest::newRow("no user") << "password" << QStringList{} << "refused the login (";
    // The client certificate was made by the test CA, but is none itself.
    QTest::newRow("wrong CA") << "tls" << QStringList{"--ca-file", tls + "client.pem"}
                              << "TLS with the broker 127.0.0.1:";
}

void TestSite::refusals() {
    QFETCH(QString, listener);
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);

    QFile wrong(work.filePath("wrong"));
    QVERIFY(wrong.open(QIODevice::WriteOnly));
    wrong.write("guess\n");
    wrong.close();
    const bool tls = listener == u"tls";
    const QString user = arguments.contains("--password-file") ? QStringLiteral("operator@") : "";
    const QString url = QLatin1String(tls ? "mqtts://" : "mqtt://") + user +
                        QStringLiteral("127.0.0.1:%1").arg(tls ? tlsPort : passwordPort);
    QFile log(work.filePath("mosquitto.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    log.readAll();

    auto window = openSite(QStringList{"--site", url} + arguments);
    QLabel *line = status(window.get());
    QTRY_VERIFY_WITH_TIMEOUT(line->text().contains(message), Timeout);
    QVERIFY(panels(window.get()).isEmpty());
    if (tls) {
        // No CONNECT reached the broker: nothing went in clear, nor at all.
        QTest::qWait(1000);
        const QByteArray since = log.readAll();
        QVERIFY2(!since.contains("as ternix36-control-"), since.constData());
    }
}

QTEST_MAIN(TestSite)
#include "tst_site.moc"
