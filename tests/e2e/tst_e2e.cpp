// SPDX-License-Identifier: GPL-3.0-or-later
// The whole program against simulated nodes over a real IPv6 link: this test
// is the program's side of scripts/test-link.sh, the simulator plays the
// nodes in another network namespace, and its log shows what crossed the link.

#include "app/MainWindow.h"
#include "panels/ItemView.h"
#include "protocol/NodeMap.h"

#include "SimLog.h"
#include "TestSupport.h"
#include "Tshark.h"

#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QNetworkInterface>
#include <QPushButton>
#include <QScrollArea>
#include <QSet>
#include <QSlider>
#include <QTest>
#include <QToolBar>
#include <QtEndian>

#include <algorithm>
#include <csignal>

using namespace TestSupport;

namespace {

// The nodes that tests/e2e/CMakeLists.txt gives the simulator, in order.
struct Node {
    const char *kind;
    const char *address;
    const char *name;
    const char *panelClass;
    const char *title;
    int addressRow;
    int reportSize; // the simulated node's report, name trailer excluded
};

const Node Plug{"plug", "fe80::10", "Desk lamp", "PlugView_t", "TERNIX36 Plug", 3, 4};
const Node ADPlug{"adplug", "fe80::11", "Kettle", "ADPlugView_t", "TERNIX36 ADPlug", 3, 13};
const Node Bright{"bright", "fe80::12", "Hall sensor", "BrightView_t", "TERNIX36 Bright", 4, 12};
const Node Bright2{"bright2", "fe80::13", "Porch sensor", "BrightView_t", "TERNIX36 Bright", 4, 12};
const Node Dimmer{"dimmer", "fe80::14", "Ceiling light", "DimmerView_t", "TERNIX36 Dimmer", 4, 5};
const Node Blinds{"blinds", "fe80::15", "Bedroom blinds", "BlindsView_t", "TERNIX36 Blinds", 3, 4};
const QList<Node> FirstLink = {Plug, ADPlug, Bright, Bright2, Dimmer, Blinds};
const Node GaragePlug{"plug", "fe80::2:10", "Garage plug", "PlugView_t", "TERNIX36 Plug", 3, 4};

constexpr int Timeout = 10000;

QString watts(const QByteArray &report, int offset) {
    const qint32 raw = qFromLittleEndian<qint32>(report.constData() + offset);
    return QString::number(raw / 100.0, 'g', 6) + QStringLiteral(" W");
}

qint32 s32(const QByteArray &report, int offset) {
    return qFromLittleEndian<qint32>(report.constData() + offset);
}

QString buttonText(QWidget *panel, int row, int column) {
    auto *button = qobject_cast<QPushButton *>(cell(panel, row, column));
    return button ? button->text() : QStringLiteral("<no button>");
}

void press(QWidget *panel, int row, int column) {
    auto *button = qobject_cast<QPushButton *>(cell(panel, row, column));
    QVERIFY2(button, "no button there");
    button->click();
}

// What the panel of this kind must show for this report, compared with what
// it shows: empty when they agree, else the first difference.
QString mismatch(QWidget *panel, const Node &node, const QByteArray &report) {
    if (!panel)
        return QStringLiteral("no panel for %1").arg(node.name);
    auto expect = [](const QString &what, const QString &shown, const QString &wanted) {
        return shown == wanted
                   ? QString()
                   : QStringLiteral("%1 shows \"%2\", not \"%3\"").arg(what, shown, wanted);
    };
    if (report.size() < node.reportSize ||
        (node.kind == QLatin1String("plug") && report.at(3) != 0 && report.size() < 12))
        return QStringLiteral("no complete report from %1").arg(node.name);
    QStringList differences;
    const QString kind = QLatin1String(node.kind);
    const QString name = QLatin1String(node.name);
    if (kind == QLatin1String("plug")) {
        const bool readings = report.at(3) != 0;
        const bool realPower = readings && s32(report, 4) != 0;
        differences << expect("name", cellText(panel, 1, 1), name)
                    << expect("real", cellText(panel, 1, 3), readings ? watts(report, 4) : "0 W")
                    << expect("apparent", cellText(panel, 1, 2),
                              realPower ? watts(report, 8) : "0 W")
                    << expect("title colour", titleColour(panel).name(),
                              QColor(readings ? Qt::yellow : Qt::gray).name());
    } else if (kind == QLatin1String("adplug")) {
        const bool on = report.at(4) != 0;
        differences << expect("name", cellText(panel, 1, 1), name)
                    << expect("real", cellText(panel, 1, 3), watts(report, 5))
                    << expect("apparent", cellText(panel, 1, 2), watts(report, 9))
                    << expect("title colour", titleColour(panel).name(),
                              QColor(on ? Qt::yellow : Qt::gray).name());
    } else if (kind.startsWith(QLatin1String("bright"))) {
        differences << expect("name", cellText(panel, 1, 1), name)
                    << expect("temperature", cellText(panel, 1, 3),
                              QString::number(s32(report, 4) / 10) + QString::fromUtf8(" °C"))
                    << expect("brightness", cellText(panel, 1, 2), QString::number(s32(report, 8)));
    } else if (kind == QLatin1String("dimmer")) {
        differences << expect("name", cellText(panel, 1, 1), name)
                    << expect("level", cellText(panel, 4, 2),
                              QString::number(report.at(4) & 0x7F) + QStringLiteral(" %"));
    } else if (kind == QLatin1String("blinds")) {
        const char state = report.at(3);
        const char *word = state == 1 ? "Down" : state == 3 ? "Up" : "Off";
        const QColor colour = state == 1 ? Qt::red : state == 3 ? Qt::green : Qt::gray;
        differences << expect("name", cellText(panel, 1, 1), QString())
                    << expect("state", cellText(panel, 1, 2), QLatin1String(word))
                    << expect("title colour", titleColour(panel).name(), colour.name())
                    << expect("Up button", buttonText(panel, 1, 3), state == 3 ? "Off" : "Up")
                    << expect("Down button", buttonText(panel, 1, 4), state == 1 ? "Off" : "Down");
    }
    differences.removeAll(QString());
    return differences.join(QStringLiteral("; "));
}

QString description(QWidget *widget) {
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible ? accessible->text(QAccessible::Description) : QString();
}

QByteArray bytesOf(const QJsonObject &entry) {
    return QByteArray::fromHex(entry[QLatin1String("hex")].toString().toLatin1());
}

} // namespace

// A failed check inside the helper ends the calling test function too.
#define ROUND_TRIP(...)                                                                            \
    do {                                                                                           \
        expectRoundTrip(__VA_ARGS__);                                                              \
        if (QTest::currentTestFailed())                                                            \
            return;                                                                                \
    } while (false)

class TestEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void probeOnTheWire();
    void onePanelPerNodeInTheOrderFirstHeard();
    void dimmerLevelZeroAtDiscovery();
    void scanRefreshesWithoutNewPanels();
    void plugToggles();
    void adPlugTakesTheTargetState();
    void sensorsAnswerPoll_data();
    void sensorsAnswerPoll();
    void sensorTakesTheConfigurationAsTyped();
    void dimmerFollowsTheSlider();
    void blindsDriveAndStop();
    void secondInterface();
    void captureReadsLikeThePanels();
    void silentNodeIsMarked();
    void nothingMalformedReachedTheNodes();

private:
    QList<QWidget *> column() const;
    QWidget *panelOf(const Node &node) const;
    // Presses or moves something at `node`, then checks that exactly `command`
    // reached the node at `port` and that the panel shows the node's answer.
    void expectRoundTrip(const Node &node, const std::function<void()> &action,
                         const QByteArray &command, int port, const SimLog &log);
    QByteArray latestReport(const Node &node, const SimLog &log) const;

    MainWindow_t *window = nullptr;
    SimLog *log = nullptr;
    SimLog *log2 = nullptr;
    QString scope;  // the first link's interface index
    QString scope2; // the second's
    QString programAddress;
};

void TestEndToEnd::initTestCase() {
    const QString linkIf = qEnvironmentVariable("TERNIX36_LINK_IF");
    const QString link2If = qEnvironmentVariable("TERNIX36_LINK2_IF");
    if (linkIf.isEmpty() || link2If.isEmpty())
        QFAIL("run through scripts/test-link.sh with --node and --node2 (see tests/e2e)");
    scope = QString::number(QNetworkInterface::interfaceIndexFromName(linkIf));
    scope2 = QString::number(QNetworkInterface::interfaceIndexFromName(link2If));
    log = new SimLog(qEnvironmentVariable("TERNIX36_SIM_LOG"));
    log2 = new SimLog(qEnvironmentVariable("TERNIX36_SIM2_LOG"));

    // The simulator plays the nodes this test expects.
    const QList<QJsonObject> announced = log->matching(SimLog::event("node", ""));
    QCOMPARE(announced.size(), FirstLink.size());
    for (int i = 0; i < FirstLink.size(); ++i) {
        QCOMPARE(announced[i][QLatin1String("kind")].toString(), QString(FirstLink[i].kind));
        QCOMPARE(announced[i][QLatin1String("src")].toString(), QString(FirstLink[i].address));
        QCOMPARE(announced[i][QLatin1String("node")].toString(), QString(FirstLink[i].name));
    }

    window = new MainWindow_t;
    window->show();
    auto *box = window->findChild<QComboBox *>();
    QVERIFY2(box->count() >= 2 && box->itemText(0) == linkIf,
             "the first link must be the first interface in the box");
    QCOMPARE(window->_InterfaceName(), scope);
}

void TestEndToEnd::cleanupTestCase() {
    delete window;
    delete log;
    delete log2;
}

QList<QWidget *> TestEndToEnd::column() const {
    QLayout *layout = qobject_cast<QScrollArea *>(window->centralWidget())->widget()->layout();
    QList<QWidget *> panels;
    for (int i = 0; i < layout->count(); ++i)
        panels.append(layout->itemAt(i)->widget());
    return panels;
}

// The node's panel, once it is there: each test can run on its own.
QWidget *TestEndToEnd::panelOf(const Node &node) const {
    const QString prefix = QLatin1String(node.address) + QLatin1Char('%');
    QDeadlineTimer deadline(Timeout);
    do {
        for (QWidget *panel : column())
            for (QLabel *label : panel->findChildren<QLabel *>())
                if (label->text().startsWith(prefix))
                    return panel;
        QTest::qWait(20);
    } while (!deadline.hasExpired());
    return nullptr;
}

QByteArray TestEndToEnd::latestReport(const Node &node, const SimLog &simLog) const {
    const QList<QJsonObject> reports = simLog.matching([&](const QJsonObject &entry) {
        return entry[QLatin1String("event")].toString() == QLatin1String("sent") &&
               entry[QLatin1String("src")].toString() == QLatin1String(node.address);
    });
    return reports.isEmpty() ? QByteArray() : bytesOf(reports.last());
}

void TestEndToEnd::expectRoundTrip(const Node &node, const std::function<void()> &action,
                                   const QByteArray &command, int port, const SimLog &simLog) {
    QWidget *panel = panelOf(node);
    QVERIFY(panel);
    const int mark = simLog.size();
    action();

    int line = 0;
    const auto received =
        simLog.waitFor(SimLog::event("received", "command", node.address), mark, &line);
    QVERIFY2(received, qPrintable(QStringLiteral("no command reached %1").arg(node.name)));
    QCOMPARE(bytesOf(*received).toHex(' '), command.toHex(' '));
    QCOMPARE((*received)[QLatin1String("dport")].toInt(), port);
    QCOMPARE((*received)[QLatin1String("dst")].toString(), node.address);

    const auto answer = simLog.waitFor(SimLog::event("sent", "command", node.address), line);
    QVERIFY2(answer, "the node did not answer");
    QTRY_COMPARE_WITH_TIMEOUT(mismatch(panel, node, latestReport(node, simLog)), QString(),
                              Timeout);
}

void TestEndToEnd::probeOnTheWire() {
    const auto probe = log->waitFor(SimLog::event("received", "probe"));
    QVERIFY2(probe, "no probe reached the simulator");
    QCOMPARE((*probe)[QLatin1String("hex")].toString(), QStringLiteral("00010203040506070809"));
    QCOMPARE((*probe)[QLatin1String("dst")].toString(), QStringLiteral("ff02::1"));
    QCOMPARE((*probe)[QLatin1String("dport")].toInt(), 40000);
    QCOMPARE((*probe)[QLatin1String("sport")].toInt(), 4444);
    programAddress = (*probe)[QLatin1String("src")].toString();
    QVERIFY(programAddress.startsWith(QLatin1String("fe80:")));

    // One probe, on the first interface only; answers are the barrier.
    QVERIFY(log->waitFor(SimLog::event("sent", "probe", Blinds.address)));
    QCOMPARE(log->matching(SimLog::event("received", "probe")).size(), 1);
    QCOMPARE(log2->matching(SimLog::event("received", "probe")).size(), 0);
}

void TestEndToEnd::onePanelPerNodeInTheOrderFirstHeard() {
    QTRY_COMPARE_WITH_TIMEOUT(column().size(), FirstLink.size(), Timeout);
    QCOMPARE(NodeMap.size(), FirstLink.size());

    // The order in which the simulator answered the probe.
    QStringList answerOrder;
    for (const QJsonObject &entry : log->matching(SimLog::event("sent", "probe")))
        answerOrder.append(entry[QLatin1String("src")].toString());
    QCOMPARE(answerOrder.size(), FirstLink.size());

    const QList<QWidget *> panels = column();
    for (int i = 0; i < panels.size(); ++i) {
        const Node &node = FirstLink[i];
        QCOMPARE(QLatin1String(node.address), answerOrder[i]);
        QCOMPARE(panels[i]->metaObject()->className(), node.panelClass);
        QCOMPARE(title(panels[i])->text(), QLatin1String(node.title));
        QCOMPARE(cellText(panels[i], node.addressRow, 1),
                 QLatin1String(node.address) + QLatin1Char('%') + scope);
        // Only the dimmer has been asked for another report yet (by its level 0
        // command), and that one says what the first said.
        const QList<QJsonObject> reports = log->matching([&](const QJsonObject &entry) {
            return entry[QLatin1String("event")].toString() == QLatin1String("sent") &&
                   entry[QLatin1String("src")].toString() == QLatin1String(node.address);
        });
        QVERIFY(!reports.isEmpty());
        const QByteArray first = bytesOf(reports.first());
        for (const QJsonObject &report : reports)
            QCOMPARE(bytesOf(report).toHex(' '), first.toHex(' '));
        QTRY_COMPARE_WITH_TIMEOUT(mismatch(panels[i], node, first), QString(), Timeout);
    }
}

void TestEndToEnd::dimmerLevelZeroAtDiscovery() {
    const auto levelZero = log->waitFor(SimLog::event("received", "command", Dimmer.address));
    QVERIFY2(levelZero, "the dimmer's level 0 never reached it");
    QCOMPARE((*levelZero)[QLatin1String("hex")].toString(), QStringLiteral("c030010180"));
    QCOMPARE((*levelZero)[QLatin1String("dport")].toInt(), 4444);
    QCOMPARE((*levelZero)[QLatin1String("src")].toString(), programAddress);
    QVERIFY(panelOf(Dimmer));
    QTRY_COMPARE_WITH_TIMEOUT(cellText(panelOf(Dimmer), 4, 2), QStringLiteral("0 %"), Timeout);
}

void TestEndToEnd::scanRefreshesWithoutNewPanels() {
    QWidget *plug = panelOf(Plug);
    QWidget *sensor = panelOf(Bright);
    QVERIFY(plug && sensor);
    const QString realBefore = cellText(plug, 1, 3);
    const QString brightnessBefore = cellText(sensor, 1, 2);
    const QList<QWidget *> panelsBefore = column();
    const int mark = log->size();

    QAction *scan = window->findChild<QToolBar *>()->actions()[1];
    QCOMPARE(scan->text(), QStringLiteral("Scan"));
    scan->trigger();

    int line = 0;
    const auto probe = log->waitFor(SimLog::event("received", "probe"), mark, &line);
    QVERIFY2(probe, "\"Scan\" sent no probe");
    QCOMPARE((*probe)[QLatin1String("hex")].toString(), QStringLiteral("00010203040506070809"));
    QVERIFY(log->waitFor(SimLog::event("sent", "probe", Blinds.address), line));

    for (const Node &node : FirstLink)
        QTRY_COMPARE_WITH_TIMEOUT(mismatch(panelOf(node), node, latestReport(node, *log)),
                                  QString(), Timeout);
    QCOMPARE(column(), panelsBefore);
    QCOMPARE(NodeMap.size(), FirstLink.size());
    // The simulated readings move with every report.
    QVERIFY(cellText(plug, 1, 3) != realBefore);
    QVERIFY(cellText(sensor, 1, 2) != brightnessBefore);
}

void TestEndToEnd::plugToggles() {
    QWidget *panel = panelOf(Plug);
    QVERIFY(panel);
    QCOMPARE(titleColour(panel), QColor(Qt::yellow)); // the simulated plug starts on
    const auto pressSwitch = [panel] {
        press(panel, 1, 4);
    };

    ROUND_TRIP(Plug, pressSwitch, hex("C0 10 01"), 40000, *log);
    QCOMPARE(titleColour(panel), QColor(Qt::gray));
    QCOMPARE(cellText(panel, 1, 3), QStringLiteral("0 W"));
    QCOMPARE(cellText(panel, 1, 2), QStringLiteral("0 W"));

    ROUND_TRIP(Plug, pressSwitch, hex("C0 10 01"), 40000, *log);
    QCOMPARE(titleColour(panel), QColor(Qt::yellow));
    QVERIFY(cellText(panel, 1, 3) != QLatin1String("0 W"));
}

void TestEndToEnd::adPlugTakesTheTargetState() {
    QWidget *panel = panelOf(ADPlug);
    QVERIFY(panel);
    QCOMPARE(titleColour(panel), QColor(Qt::gray)); // the simulated AD plug starts off
    const auto pressSwitch = [panel] {
        press(panel, 1, 4);
    };

    ROUND_TRIP(ADPlug, pressSwitch, hex("C0 20 01 01"), 4444, *log);
    QCOMPARE(titleColour(panel), QColor(Qt::yellow));
    QVERIFY(cellText(panel, 1, 3) != QLatin1String("0 W"));

    ROUND_TRIP(ADPlug, pressSwitch, hex("C0 20 01 00"), 4444, *log);
    QCOMPARE(titleColour(panel), QColor(Qt::gray));
    QCOMPARE(cellText(panel, 1, 3), QStringLiteral("0 W"));
}

void TestEndToEnd::sensorsAnswerPoll_data() {
    QTest::addColumn<int>("which");
    QTest::newRow("kind 0x0111") << 0;
    QTest::newRow("kind 0x0112, polled as 0x0111") << 1;
}

void TestEndToEnd::sensorsAnswerPoll() {
    QFETCH(int, which);
    const Node &node = which == 0 ? Bright : Bright2;
    QWidget *panel = panelOf(node);
    QVERIFY(panel);
    const QString brightnessBefore = cellText(panel, 1, 2);

    ROUND_TRIP(
        node, [panel] { press(panel, 1, 6); }, hex("C0 11 01"), 4444, *log);
    QVERIFY(cellText(panel, 1, 2) != brightnessBefore);
}

void TestEndToEnd::sensorTakesTheConfigurationAsTyped() {
    QWidget *panel = panelOf(Bright);
    QVERIFY(panel);
    auto type = [panel](int row, const char *text) {
        auto *field = qobject_cast<QLineEdit *>(cell(panel, row, 5));
        QVERIFY(field);
        field->clear();
        QTest::keyClicks(field, QLatin1String(text));
    };
    // From the top: poll interval, measure interval, delta temperature, delta brightness.
    type(1, "1");
    type(2, "2");
    type(3, "3");
    type(4, "4");
    ROUND_TRIP(
        Bright, [panel] { press(panel, 4, 6); },
        hex("80 11 01 02 00 01 00 1E 00 00 00 04 00 00 00"), 4444, *log);

    // A poll interval of 1 s: the sensor now reports on its own.
    const int mark = log->size();
    const auto unasked = log->waitFor(SimLog::event("sent", "unasked", Bright.address), mark);
    QVERIFY2(unasked, "the configured sensor never reported by itself");
    QTRY_COMPARE_WITH_TIMEOUT(mismatch(panel, Bright, latestReport(Bright, *log)), QString(),
                              Timeout);

    for (int row = 1; row <= 4; ++row)
        type(row, "0");
    ROUND_TRIP(
        Bright, [panel] { press(panel, 4, 6); },
        hex("80 11 01 00 00 00 00 00 00 00 00 00 00 00 00"), 4444, *log);
}

void TestEndToEnd::dimmerFollowsTheSlider() {
    QWidget *panel = panelOf(Dimmer);
    QVERIFY(panel);
    auto *slider = qobject_cast<QSlider *>(cell(panel, 1, 2));
    QVERIFY(slider);

    ROUND_TRIP(
        Dimmer, [slider] { slider->setValue(40); }, hex("C0 30 01 01 A8"), 4444, *log);
    QCOMPARE(cellText(panel, 4, 2), QStringLiteral("40 %"));
    ROUND_TRIP(
        Dimmer, [slider] { slider->setValue(100); }, hex("C0 30 01 01 E4"), 4444, *log);
    QCOMPARE(cellText(panel, 4, 2), QStringLiteral("100 %"));
}

void TestEndToEnd::blindsDriveAndStop() {
    QWidget *panel = panelOf(Blinds);
    QVERIFY(panel);
    QCOMPARE(cellText(panel, 1, 2), QStringLiteral("Off"));
    const auto pressUp = [panel] {
        press(panel, 1, 3);
    };
    const auto pressDown = [panel] {
        press(panel, 1, 4);
    };

    ROUND_TRIP(Blinds, pressUp, hex("C0 21 01 03"), 40000, *log);
    QCOMPARE(cellText(panel, 1, 2), QStringLiteral("Up"));
    QCOMPARE(titleColour(panel), QColor(Qt::green));
    QCOMPARE(buttonText(panel, 1, 3), QStringLiteral("Off"));

    // While driving, the "Off" button stops them.
    ROUND_TRIP(Blinds, pressUp, hex("C0 21 01 00"), 40000, *log);
    QCOMPARE(cellText(panel, 1, 2), QStringLiteral("Off"));
    QCOMPARE(titleColour(panel), QColor(Qt::gray));

    ROUND_TRIP(Blinds, pressDown, hex("C0 21 01 01"), 40000, *log);
    QCOMPARE(cellText(panel, 1, 2), QStringLiteral("Down"));
    QCOMPARE(titleColour(panel), QColor(Qt::red));
    QCOMPARE(buttonText(panel, 1, 4), QStringLiteral("Off"));

    // Left alone, they stop by themselves and say so.
    const int mark = log->size();
    QVERIFY2(log->waitFor(SimLog::event("sent", "unasked", Blinds.address), mark),
             "the blinds never stopped by themselves");
    QTRY_COMPARE_WITH_TIMEOUT(cellText(panel, 1, 2), QStringLiteral("Off"), Timeout);
    QCOMPARE(titleColour(panel), QColor(Qt::gray));
    QCOMPARE(buttonText(panel, 1, 3), QStringLiteral("Up"));
    QCOMPARE(buttonText(panel, 1, 4), QStringLiteral("Down"));
}

void TestEndToEnd::secondInterface() {
    auto *box = window->findChild<QComboBox *>();
    const int second = box->findText(qEnvironmentVariable("TERNIX36_LINK2_IF"));
    QVERIFY(second > 0);
    const int mark = log->size();
    const QList<QWidget *> panelsBefore = column();

    box->setCurrentIndex(second);
    QCOMPARE(window->_InterfaceName(), scope2);

    const auto probe = log2->waitFor(SimLog::event("received", "probe"));
    QVERIFY2(probe, "no probe on the second link");
    QCOMPARE((*probe)[QLatin1String("hex")].toString(), QStringLiteral("00010203040506070809"));
    QTRY_COMPARE_WITH_TIMEOUT(column().size(), panelsBefore.size() + 1, Timeout);
    QWidget *garage = column().last();
    QCOMPARE(column().mid(0, panelsBefore.size()), panelsBefore);
    QCOMPARE(cellText(garage, 3, 1), QLatin1String(GaragePlug.address) + QLatin1Char('%') + scope2);
    QTRY_COMPARE_WITH_TIMEOUT(mismatch(garage, GaragePlug, latestReport(GaragePlug, *log2)),
                              QString(), Timeout);

    // Earlier panels keep their scope: their commands still reach the first
    // link, and once they have, no probe can still be on its way there.
    for (const Node &node : FirstLink) {
        QVERIFY(panelOf(node));
        QVERIFY(cellText(panelOf(node), node.addressRow, 1).endsWith(QLatin1Char('%') + scope));
    }
    QWidget *plug = panelOf(Plug);
    ROUND_TRIP(
        Plug, [plug] { press(plug, 1, 4); }, hex("C0 10 01"), 40000, *log);
    QCOMPARE(log->matching(SimLog::event("received", "probe"), mark).size(), 0);
    QCOMPARE(log2->matching(SimLog::event("received", "probe")).size(), 1);

    // The new panel's commands go out on the second link.
    ROUND_TRIP(
        GaragePlug, [garage] { press(garage, 1, 4); }, hex("C0 10 01"), 40000, *log2);
}

// The dissector on everything that crossed the links: each datagram's type,
// each command's fields as sent, each report's fields as the node sent them,
// and the Info of each node's latest report as its panel shows it.
void TestEndToEnd::captureReadsLikeThePanels() {
    const QString capture = qEnvironmentVariable("TERNIX36_CAPTURE");
    if (capture.isEmpty())
        QSKIP("no capture: run through tests/e2e/capture.sh");
    const Tshark tshark;
    QVERIFY2(!tshark.otherCopyLoaded(), "Wireshark loads an installed ternix36.lua first");

    const QStringList fields = {"ipv6.src",
                                "udp.srcport",
                                "ipv6.dst",
                                "udp.dstport",
                                "udp.payload",
                                "ternix36.type",
                                "_ws.col.Info",
                                "ternix36.op",
                                "ternix36.kind",
                                "ternix36.n",
                                "ternix36.name_length",
                                "ternix36.name",
                                "ternix36.plug.real_power",
                                "ternix36.plug.apparent_power",
                                "ternix36.adplug.state",
                                "ternix36.bright.temperature",
                                "ternix36.bright.brightness",
                                "ternix36.dimmer.level",
                                "ternix36.blinds.state",
                                "ternix36.cmd.target",
                                "ternix36.cmd.level",
                                "ternix36.cmd.direction",
                                "ternix36.cmd.measure_interval",
                                "ternix36.cmd.poll_interval",
                                "ternix36.cmd.delta_temperature",
                                "ternix36.cmd.delta_brightness",
                                "_ws.expert.message"};
    // The dissector's own notes only: Wireshark adds its own, such as a guessed
    // traceroute when a command's ephemeral source port looks like a traceroute's.
    const QStringList dissectorNotes = {"ternix36.short", "ternix36.past_end",
                                        "ternix36.negative_n", "ternix36.unknown_kind",
                                        "ternix36.unknown_op"};
    auto key = [](const QString &src, const QString &sport, const QString &dst,
                  const QString &dport, const QString &hex) {
        return QStringList{src, sport, dst, dport, hex}.join(QLatin1Char(' '));
    };
    // What the simulators logged, with the type each datagram must get, and
    // what the capture holds; it grows while tshark reads it, so until both agree.
    QMap<QString, QString> logged;
    QStringList loggedKeys, capturedKeys;
    QList<Tshark::Frame> frames;
    for (QDeadlineTimer deadline(Timeout);; QTest::qWait(200)) {
        logged.clear();
        loggedKeys.clear();
        for (const SimLog *simLog : {log, log2})
            for (const QJsonObject &entry : simLog->entries()) {
                const QString event = entry["event"].toString();
                if (event != "sent" && event != "received")
                    continue;
                const QString k =
                    key(entry["src"].toString(), QString::number(entry["sport"].toInt()),
                        entry["dst"].toString(), QString::number(entry["dport"].toInt()),
                        entry["hex"].toString());
                loggedKeys << k;
                logged[k] = event == "sent" ? "report" : entry["note"].toString();
            }
        loggedKeys.sort();
        frames = tshark.frames(capture, fields + dissectorNotes, {"-Y", "ternix36"});
        capturedKeys.clear();
        for (const Tshark::Frame &frame : frames)
            capturedKeys << key(frame["ipv6.src"], frame["udp.srcport"], frame["ipv6.dst"],
                                frame["udp.dstport"], frame["udp.payload"]);
        capturedKeys.sort();
        if (capturedKeys == loggedKeys || deadline.hasExpired())
            break;
    }
    QCOMPARE(capturedKeys, loggedKeys);

    // Every command the panels sent, as the dissector must read it.
    const QString degrees = QString::fromUtf8(" °C");
    struct Command {
        const char *hex;
        QString info;
        QMap<QString, QString> fields;
    };
    const QList<Command> commands = {
        {"c01001", "Command Plug: switch", {{"ternix36.kind", "0x0110"}}},
        {"c0200101", "Command ADPlug: switch on", {{"ternix36.cmd.target", "1"}}},
        {"c0200100", "Command ADPlug: switch off", {{"ternix36.cmd.target", "0"}}},
        {"c01101", "Command Bright: poll", {{"ternix36.op", "0xc0"}, {"ternix36.kind", "0x0111"}}},
        {"801101020001001e00000004000000",
         "Command Bright: configure measure interval 2, poll interval 1, delta temperature 3" +
             degrees + ", delta brightness 4",
         {{"ternix36.op", "0x80"},
          {"ternix36.cmd.measure_interval", "2"},
          {"ternix36.cmd.poll_interval", "1"},
          {"ternix36.cmd.delta_temperature", "3"},
          {"ternix36.cmd.delta_brightness", "4"}}},
        {"801101000000000000000000000000",
         "Command Bright: configure measure interval 0, poll interval 0, delta temperature 0" +
             degrees + ", delta brightness 0",
         {{"ternix36.cmd.measure_interval", "0"}, {"ternix36.cmd.delta_temperature", "0"}}},
        {"c030010180", "Command Dimmer: level 0 %", {{"ternix36.cmd.level", "0"}}},
        {"c0300101a8", "Command Dimmer: level 40 %", {{"ternix36.cmd.level", "40"}}},
        {"c0300101e4", "Command Dimmer: level 100 %", {{"ternix36.cmd.level", "100"}}},
        {"c0210103", "Command Blinds: up", {{"ternix36.cmd.direction", "3"}}},
        {"c0210100", "Command Blinds: stop", {{"ternix36.cmd.direction", "0"}}},
        {"c0210101", "Command Blinds: down", {{"ternix36.cmd.direction", "1"}}},
    };
    QSet<QString> commandsSeen;
    QMap<QString, Tshark::Frame> latestReport; // by node address
    for (const Tshark::Frame &frame : frames) {
        const QString k = key(frame["ipv6.src"], frame["udp.srcport"], frame["ipv6.dst"],
                              frame["udp.dstport"], frame["udp.payload"]);
        QCOMPARE(frame["ternix36.type"], logged[k]);
        for (const QString &note : dissectorNotes)
            QVERIFY2(frame[note].isEmpty(), qPrintable(frame["_ws.expert.message"]));
        const QByteArray bytes = QByteArray::fromHex(frame["udp.payload"].toLatin1());
        if (logged[k] == "probe") {
            QCOMPARE(frame["_ws.col.Info"], QStringLiteral("Probe"));
        } else if (logged[k] == "command") {
            const auto command =
                std::find_if(commands.begin(), commands.end(), [&](const Command &c) {
                    return frame["udp.payload"] == QLatin1String(c.hex);
                });
            QVERIFY2(command != commands.end(), qPrintable(frame["udp.payload"]));
            commandsSeen.insert(QLatin1String(command->hex));
            QCOMPARE(frame["_ws.col.Info"], command->info);
            for (auto field = command->fields.begin(); field != command->fields.end(); ++field)
                QCOMPARE(frame[field.key()], field.value());
        } else {
            latestReport[frame["ipv6.src"]] = frame;
            // Each field against the bytes the node sent.
            const QString kind = QStringLiteral("0x%1").arg(
                qFromLittleEndian<quint16>(bytes.constData() + 1), 4, 16, QLatin1Char('0'));
            QCOMPARE(frame["ternix36.kind"], kind);
            auto number = [&](const char *field) {
                return frame[field].toDouble();
            };
            if (kind == "0x0121") {
                QCOMPARE(frame["ternix36.blinds.state"], QString::number(bytes.at(3)));
                QCOMPARE(frame["ternix36.name"], QString());
                continue;
            }
            const int n = bytes.at(3);
            QCOMPARE(frame["ternix36.n"], QString::number(n));
            QCOMPARE(frame["ternix36.name_length"], QString::number(bytes.at(4 + n)));
            if (kind == "0x0110" && n != 0) {
                QCOMPARE(number("ternix36.plug.real_power"), s32(bytes, 4) / 100.0);
                QCOMPARE(number("ternix36.plug.apparent_power"), s32(bytes, 8) / 100.0);
            } else if (kind == "0x0120") {
                QCOMPARE(frame["ternix36.adplug.state"], QString::number(bytes.at(4)));
                QCOMPARE(number("ternix36.plug.real_power"), s32(bytes, 5) / 100.0);
                QCOMPARE(number("ternix36.plug.apparent_power"), s32(bytes, 9) / 100.0);
            } else if (kind == "0x0111" || kind == "0x0112") {
                QCOMPARE(number("ternix36.bright.temperature"), s32(bytes, 4) / 10.0);
                QCOMPARE(frame["ternix36.bright.brightness"], QString::number(s32(bytes, 8)));
            } else if (kind == "0x0130") {
                QCOMPARE(frame["ternix36.dimmer.level"], QString::number(bytes.at(4) & 0x7F));
            }
        }
    }
    QCOMPARE(commandsSeen.size(), commands.size());

    // The latest report of every node reads as its panel shows it.
    QList<Node> nodes = FirstLink;
    nodes << GaragePlug;
    for (const Node &node : nodes) {
        QWidget *panel = panelOf(node);
        QVERIFY(panel);
        QVERIFY2(latestReport.contains(node.address), node.name);
        const Tshark::Frame &frame = latestReport[node.address];
        const QString kind = QLatin1String(node.kind);
        const QString name = cellText(panel, 1, 1);
        QString info;
        if (kind == "plug")
            info = QStringLiteral("Report Plug \"%1\": real %2, apparent %3%4")
                       .arg(name, cellText(panel, 1, 3), cellText(panel, 1, 2),
                            frame["ternix36.n"] == "0" ? " (no readings)" : "");
        else if (kind == "adplug")
            info = QStringLiteral("Report ADPlug \"%1\": %2, real %3, apparent %4")
                       .arg(name, titleColour(panel) == QColor(Qt::yellow) ? "on" : "off",
                            cellText(panel, 1, 3), cellText(panel, 1, 2));
        else if (kind.startsWith("bright"))
            info = QStringLiteral("Report Bright \"%1\": temperature %2, brightness %3")
                       .arg(name, cellText(panel, 1, 3), cellText(panel, 1, 2));
        else if (kind == "dimmer")
            info =
                QStringLiteral("Report Dimmer \"%1\": level %2").arg(name, cellText(panel, 4, 2));
        else
            info = QStringLiteral("Report Blinds: ") + cellText(panel, 1, 2);
        QCOMPARE(frame["_ws.col.Info"], info);
        QCOMPARE(frame["ternix36.name"], kind == "blinds" ? QString() : QLatin1String(node.name));
    }
}

void TestEndToEnd::silentNodeIsMarked() {
    // The second link's simulator, and with it the garage plug, is gone.
    const qint64 simulator = qEnvironmentVariableIntValue("TERNIX36_SIM2_PID");
    QVERIFY2(simulator > 0, "test-link.sh names the second simulator's process");
    QCOMPARE(window->_InterfaceName(), scope2);
    QWidget *garage = column().last();
    QCOMPARE(cellText(garage, 1, 1), QLatin1String(GaragePlug.name));
    QVERIFY(::kill(pid_t(simulator), SIGKILL) == 0);

    window->findChild<QToolBar *>()->actions()[1]->trigger(); // "Scan"
    QTRY_VERIFY_WITH_TIMEOUT(static_cast<ItemView_t *>(garage)->_Liveness()._NotAnswering(), 6000);
    QCOMPARE(window->windowTitle(), QStringLiteral("ternix36-control: 7 nodes, 1 not answering"));
    QVERIFY(description(garage).startsWith(QStringLiteral("No answer to the probe at ")));
    // The first link's nodes were not asked, and are not marked.
    for (const Node &node : FirstLink)
        QVERIFY(!static_cast<ItemView_t *>(panelOf(node))->_Liveness()._NotAnswering());
}

void TestEndToEnd::nothingMalformedReachedTheNodes() {
    QCOMPARE(log->matching(SimLog::event("received", "malformed")).size(), 0);
    QCOMPARE(log2->matching(SimLog::event("received", "malformed")).size(), 0);
    QCOMPARE(log->matching(SimLog::event("received", "ignored")).size(), 0);
}

QTEST_MAIN(TestEndToEnd)
#include "tst_e2e.moc"
