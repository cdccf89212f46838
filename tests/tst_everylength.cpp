// SPDX-License-Identifier: GPL-3.0-or-later
// Hostile traffic on the real receive socket: datagrams of every length from
// 0 to 20 bytes, with each valid kind code and some invalid ones in bytes
// 1..2, to new senders and to the panels of known ones. Whatever a datagram
// lacks reads as 0 or as an empty name; one shorter than the header changes
// nothing.

#include "app/MainWindow.h"
#include "panels/ItemView.h"
#include "protocol/NodeMap.h"

#include "FreeSender.h"
#include "TestSupport.h"

#include <QAbstractButton>
#include <QTest>

#include <functional>

using namespace TestSupport;

namespace {

constexpr int LongestCut = 20;
const QString Degrees = QString::fromUtf8(" \xC2\xB0"
                                          "C");

// A panel class: a 20-byte report of its kind, the cells that show it, and
// what they show when only the first n bytes arrive.
struct PanelClass {
    const char *name;
    QByteArray report;
    QList<QPoint> cells; // (row, column)
    bool colouredTitle;
    std::function<QStringList(int n)> shows;
    // What a known panel shows after otherReport() and then the first n bytes,
    // where that differs from a new panel.
    std::function<QStringList(int n)> showsAfterOther = nullptr;
};

QString kite(int n, int nameStart) {
    return QStringLiteral("Kite").left(qMax(0, n - nameStart));
}

QString colour(bool on) {
    return QColor(on ? Qt::yellow : Qt::gray).name();
}

const QList<PanelClass> &panelClasses() {
    static const QList<PanelClass> classes = {
        {"PlugView_t",
         hex("C0 10 01 08 39300000 40E20100 04 4B697465 5A5A5A"),
         {{1, 1}, {1, 2}, {1, 3}},
         true,
         [](int n) {
             const bool readings = n >= 4; // N = 8
             const bool real = readings && n >= 8;
             return QStringList{colour(readings), kite(n, 13),
                                real && n >= 12 ? "1234.56 W" : "0 W", real ? "123.45 W" : "0 W"};
         }},
        {"ADPlugView_t",
         hex("C0 20 01 09 01 39300000 40E20100 04 4B697465 5A5A"),
         {{1, 1}, {1, 2}, {1, 3}},
         true,
         [](int n) {
             const bool readings = n >= 4; // N = 9
             return QStringList{colour(n >= 5), kite(n, 14),
                                readings && n >= 13 ? "1234.56 W" : "0 W",
                                readings && n >= 9 ? "123.45 W" : "0 W"};
         }},
        {"BrightView_t",
         hex("C0 11 01 08 D7000000 10270000 04 4B697465 5A5A5A"),
         {{1, 1}, {1, 2}, {1, 3}},
         false,
         [](int n) {
             return QStringList{kite(n, 13), n >= 12 ? "10000" : "0",
                                (n >= 8 ? "21" : "0") + Degrees};
         }},
        {"DimmerView_t",
         hex("C0 30 01 01 32 04 4B697465 5A5A5A5A5A5A5A5A5A5A"),
         {{1, 1}, {4, 2}},
         false,
         [](int n) {
             return QStringList{kite(n, 6), n >= 5 ? "50 %" : "0 %"};
         }},
        {"BlindsView_t",
         hex("C0 21 01 03 5A5A5A5A5A5A5A5A5A5A5A5A5A5A5A5A"),
         {{1, 1}, {1, 2}, {1, 3}, {1, 4}},
         true,
         [](int n) {
             if (n >= 4) // driving up
                 return QStringList{QColor(Qt::green).name(), "", "Up", "Off", "Down"};
             return QStringList{QColor(Qt::gray).name(), "", "Off", "Up", "Down"};
         },
         // From driving down straight to driving up: both buttons stop.
         [](int n) {
             if (n >= 4)
                 return QStringList{QColor(Qt::green).name(), "", "Up", "Off", "Off"};
             return QStringList{QColor(Qt::gray).name(), "", "Off", "Up", "Down"};
         }},
    };
    return classes;
}

// A report of each class that differs from the 20-byte one everywhere shown.
QByteArray otherReport(const PanelClass &panelClass) {
    const QByteArray kind = panelClass.report.mid(1, 2);
    if (qstrcmp(panelClass.name, "BlindsView_t") == 0)
        return hex("00") + kind + hex("01"); // driving down
    if (qstrcmp(panelClass.name, "ADPlugView_t") == 0)
        return hex("00") + kind + hex("09 01 01000000 01000000 03") + "Old";
    return hex("00") + kind + hex("08 01000000 01000000 03") + "Old";
}

QStringList shown(const PanelClass &panelClass, ItemView_t *panel) {
    QStringList texts;
    if (panelClass.colouredTitle)
        texts.append(titleColour(panel).name());
    for (const QPoint &at : panelClass.cells) {
        QWidget *widget = cell(panel, at.x(), at.y());
        if (auto *button = qobject_cast<QAbstractButton *>(widget))
            texts.append(button->text());
        else
            texts.append(cellText(panel, at.x(), at.y()));
    }
    return texts;
}

// The report's first n bytes, with `code` in bytes 1..2 where they exist.
QByteArray cut(const QByteArray &report, const QByteArray &code, int n) {
    QByteArray datagram = report;
    datagram.replace(1, 2, code);
    return datagram.left(n);
}

const char *const KindCodes[] = {"10 01", "11 01", "12 01", "20 01", "21 01",
                                 "30 01", "01 10", "13 01", "00 00", "FF FF"};

const PanelClass *classForCode(const QByteArray &code) {
    const quint16 kind = quint8(code[0]) | quint8(code[1]) << 8;
    const char *name = nullptr;
    switch (kind) {
    case 0x0110:
        name = "PlugView_t";
        break;
    case 0x0111:
    case 0x0112:
        name = "BrightView_t";
        break;
    case 0x0120:
        name = "ADPlugView_t";
        break;
    case 0x0121:
        name = "BlindsView_t";
        break;
    case 0x0130:
        name = "DimmerView_t";
        break;
    default:
        return nullptr;
    }
    for (const PanelClass &panelClass : panelClasses())
        if (qstrcmp(panelClass.name, name) == 0)
            return &panelClass;
    return nullptr;
}

} // namespace

class TestEveryLength : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void newSender_data();
    void newSender();
    void knownSender_data();
    void knownSender();

private:
    // Sends a report to the marker plug and waits until it shows: whatever was
    // sent before it has then been routed.
    bool routed();

    MainWindow_t *window = nullptr;
    FreeSender *marker = nullptr;
    int markerCount = 0;
    int nextSender = 0;
};

void TestEveryLength::initTestCase() {
    if (!inPrivateNetwork())
        QSKIP("sends from made-up addresses only inside isolated.sh's private namespace");
    window = new MainWindow_t;
    window->show();
    marker = new FreeSender(QHostAddress(QStringLiteral("fd00::ffff")));
    QVERIFY(marker->isBound());
    QVERIFY(routed());
}

void TestEveryLength::cleanupTestCase() {
    delete marker;
    delete window;
}

bool TestEveryLength::routed() {
    const QByteArray name = "m" + QByteArray::number(++markerCount);
    if (!marker->send(hex("00 10 01 00") + char(name.size()) + name))
        return false;
    const NodeKey_t key = _NodeKey(QHostAddress(QStringLiteral("fd00::ffff")));
    return QTest::qWaitFor(
        [&] { return NodeMap.contains(key) && cellText(NodeMap.value(key), 1, 1) == name; }, 5000);
}

void TestEveryLength::newSender_data() {
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<int>("length");
    for (const char *code : KindCodes)
        for (int length = 0; length <= LongestCut; ++length)
            QTest::addRow("%s, %d bytes", code, length) << hex(code) << length;
}

void TestEveryLength::newSender() {
    QFETCH(QByteArray, code);
    QFETCH(int, length);
    const PanelClass *panelClass = classForCode(code);
    // Invalid codes carry a plug report: only the code keeps it from a panel.
    const QByteArray report = panelClass ? panelClass->report : panelClasses().first().report;
    const QHostAddress address(QStringLiteral("fd00::2:%1").arg(++nextSender, 0, 16));
    const qsizetype before = NodeMap.size();

    FreeSender sender(address);
    QVERIFY(sender.send(cut(report, code, length)));
    QVERIFY(routed());

    ItemView_t *panel = NodeMap.value(_NodeKey(address));
    if (!panelClass || length < 3) {
        QVERIFY(!panel);
        QCOMPARE(NodeMap.size(), before);
        return;
    }
    QVERIFY(panel);
    QCOMPARE(panel->metaObject()->className(), panelClass->name);
    QCOMPARE(shown(*panelClass, panel), panelClass->shows(length));
}

void TestEveryLength::knownSender_data() {
    QTest::addColumn<int>("panelIndex");
    QTest::addColumn<QByteArray>("code");
    for (int i = 0; i < panelClasses().size(); ++i)
        for (const char *code : KindCodes)
            QTest::addRow("%s, code %s", panelClasses().at(i).name, code) << i << hex(code);
}

void TestEveryLength::knownSender() {
    QFETCH(int, panelIndex);
    QFETCH(QByteArray, code);
    const PanelClass &panelClass = panelClasses().at(panelIndex);
    const QHostAddress address(QStringLiteral("fd00::3:%1").arg(panelIndex));
    FreeSender node(address);
    QVERIFY(node.isBound());

    QVERIFY(node.send(otherReport(panelClass)));
    QVERIFY(routed());
    ItemView_t *panel = NodeMap.value(_NodeKey(address));
    QVERIFY(panel);
    QCOMPARE(panel->metaObject()->className(), panelClass.name);
    const QStringList before = shown(panelClass, panel);
    const qsizetype nodes = NodeMap.size();

    for (int length = 0; length <= LongestCut; ++length) {
        QVERIFY(node.send(otherReport(panelClass)));
        QVERIFY(node.send(cut(panelClass.report, code, length)));
        QVERIFY(routed());
        QCOMPARE(NodeMap.value(_NodeKey(address)), panel);
        const auto shows =
            panelClass.showsAfterOther ? panelClass.showsAfterOther : panelClass.shows;
        const QStringList expected = length < 3 ? before : shows(length);
        QVERIFY2(shown(panelClass, panel) == expected,
                 qPrintable(QStringLiteral("%1 bytes: %2 instead of %3")
                                .arg(length)
                                .arg(shown(panelClass, panel).join(u'|'), expected.join(u'|'))));
    }
    QCOMPARE(NodeMap.size(), nodes);
}

QTEST_MAIN(TestEveryLength)
#include "tst_everylength.moc"
