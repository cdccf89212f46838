// SPDX-License-Identifier: GPL-3.0-or-later
// The history window's charts, as painted: round labels on their axes, one
// left and right edge for every strip, and each marker in one colour and
// shape wherever it stands.

#include "panels/history/HistoryPlot.h"
#include "panels/history/HistoryTicks.h"

#include "TestSupport.h"

#include <QApplication>
#include <QTest>

using namespace TestSupport;

namespace {
// 2027-01-15 08:00:00 UTC; the test runs with TZ=UTC.
constexpr qint64 Start = 1800000000000;

Moment_t at(qint64 ms) {
    return {ms, ms - Start + 1000};
}
} // namespace

class TestHistoryPlot : public QObject {
    Q_OBJECT

private slots:
    void valueTicks_data();
    void valueTicks();
    void timeTicks_data();
    void timeTicks();
    void stripsShareTheirEdges_data();
    void stripsShareTheirEdges();
    void markersAreAlikeInEveryStrip();
};

void TestHistoryPlot::valueTicks_data() {
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::addColumn<double>("finest"); // what the node can tell apart
    QTest::addColumn<QStringList>("labels");

    QTest::newRow("watts") << 12.5 << 398.0 << 0.01 << QStringList{"0", "100", "200", "300", "400"};
    QTest::newRow("tenths of a degree")
        << 20.1 << 21.9 << 0.1 << QStringList{"20.0", "20.5", "21.0", "21.5", "22.0"};
    QTest::newRow("one level all along") << 50.0 << 50.0 << 1.0 << QStringList{"49", "50", "51"};
    QTest::newRow("below zero") << -3.5 << 1.0 << 0.1
                                << QStringList{"-4", "-3", "-2", "-1", "0", "1"};
}

void TestHistoryPlot::valueTicks() {
    QFETCH(double, low);
    QFETCH(double, high);
    QFETCH(double, finest);
    const HistoryTicks::Values_t ticks = HistoryTicks::_Values(low, high, 5, finest);
    QStringList labels;
    for (double value = ticks.low; value <= ticks.high + ticks.step / 2; value += ticks.step)
        labels.append(HistoryTicks::_ValueText(value, ticks.decimals));
    QTEST(labels, "labels");
}

void TestHistoryPlot::timeTicks_data() {
    QTest::addColumn<qint64>("fromMs");
    QTest::addColumn<qint64>("toMs");
    QTest::addColumn<QStringList>("labels");

    const qint64 minute = 60 * 1000;
    QTest::newRow("10 min") << Start + 20 * 1000 << Start + 10 * minute + 20 * 1000
                            << QStringList{"08:02", "08:04", "08:06", "08:08", "08:10"};
    QTest::newRow("24 h, across midnight")
        << Start - 4 * 60 * minute << Start + 20 * 60 * minute
        << QStringList{"06:00", "12:00", "18:00", "00:00\nSat 16 Jan"};
}

void TestHistoryPlot::timeTicks() {
    QFETCH(qint64, fromMs);
    QFETCH(qint64, toMs);
    const HistoryTicks::Times_t ticks = HistoryTicks::_Times(fromMs, toMs, 6);
    QStringList labels;
    for (qsizetype i = 0; i < ticks.ms.size(); ++i) {
        const bool newDay = i > 0 && QDateTime::fromMSecsSinceEpoch(ticks.ms[i - 1]).date() !=
                                         QDateTime::fromMSecsSinceEpoch(ticks.ms[i]).date();
        labels.append(HistoryTicks::_TimeText(ticks.ms[i], ticks.stepMs, newDay));
    }
    QTEST(labels, "labels");
}

void TestHistoryPlot::stripsShareTheirEdges_data() {
    QTest::addColumn<int>("points");
    QTest::newRow("8 pt") << 8;
    QTest::newRow("16 pt") << 16;
}

// Real power in thousands of watts, apparent in single ones, and a timeline
// without numbers: the strips' left and right edges are one.
void TestHistoryPlot::stripsShareTheirEdges() {
    QFETCH(int, points);
    NodeHistory_t history(Ternix36::_NodeType::_Plug);
    history._Report(at(Start), hex("00 10 01 08 40420F00 64000000 00"));
    history._Report(at(Start + 1000), hex("00 10 01 08 A0860100 C8000000 00"));
    HistoryPlot_t plot(history, nullptr);
    QFont font = plot.font();
    font.setPointSize(points);
    plot.setFont(font);
    plot.resize(900, 700);
    plot._SetNow(Start + 2000);
    const QList<QRect> areas = plot._PlotAreas();
    QCOMPARE(areas.size(), 3);
    for (const QRect &area : areas) {
        QCOMPARE(area.left(), areas.first().left());
        QCOMPARE(area.right(), areas.first().right());
        QVERIFY(area.height() > 0);
    }
}

// A command that was answered, one that was not, and a probe left
// unanswered, each in every strip of a plug: the same colour wherever it
// stands, and its own shape. Only a square fills its upper right corner; a
// triangle leaves empty what beside its apex a circle and a square fill.
void TestHistoryPlot::markersAreAlikeInEveryStrip() {
    NodeHistory_t history(Ternix36::_NodeType::_Plug);
    history._Report(at(Start), hex("00 10 01 08 E8030000 B0040000 00"));
    history._Command(at(Start + 60 * 1000), {NodeHistory_t::Button_t::Switch});
    history._Report(at(Start + 60 * 1000 + 200), hex("00 10 01 00 00"));
    history._Command(at(Start + 180 * 1000), {NodeHistory_t::Button_t::Switch});
    history._Settle(at(Start + 183 * 1000));
    history._NotAnswering(Start + 300 * 1000);

    HistoryPlot_t plot(history, nullptr);
    QFont font = plot.font();
    font.setPointSize(24); // markers large enough to tell their shapes
    plot.setFont(font);
    QPalette palette = plot.palette();
    palette.setColor(QPalette::Base, Qt::white);
    plot.setPalette(palette);
    plot.resize(1400, 1000);
    plot._SetSpan(NodeHistory_t::FullMs);
    plot._SetNow(Start + 400 * 1000);
    const QImage image = plot.grab().toImage();
    const QList<QRect> lanes = plot._MarkerLanes();
    QCOMPARE(lanes.size(), 3);
    const double size = plot._MarkerSize();

    struct Expected_t {
        qint64 ms;
        QColor colour;
        bool corner; // filled at (0.42, -0.42) of its size from its centre
        bool beside; // filled at (-0.3, -0.2)
    };
    const QList<Expected_t> markers = {
        {Start + 60 * 1000, QColor(0x2e, 0x7d, 0x32), false, true},
        {Start + 180 * 1000, QColor(0xc6, 0x28, 0x28), true, true},
        {Start + 300 * 1000, QColor(0xef, 0x6c, 0x00), false, false}};
    for (const QRect &lane : lanes) {
        for (const Expected_t &marker : markers) {
            const double x = lane.left() + double(marker.ms - plot._FromMs()) * lane.width() /
                                               double(plot._ToMs() - plot._FromMs());
            const double y = lane.center().y() + 0.5;
            const auto colour = [&](double dx, double dy) {
                return image.pixelColor(int(x + dx * size), int(y + dy * size));
            };
            QCOMPARE(colour(0, 0), marker.colour);
            QCOMPARE(colour(0.42, -0.42) == marker.colour, marker.corner);
            QCOMPARE(colour(-0.3, -0.2) == marker.colour, marker.beside);
        }
    }
}

QTEST_MAIN(TestHistoryPlot)
#include "tst_historyplot.moc"
