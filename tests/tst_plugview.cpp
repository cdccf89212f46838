// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainWindow.h"
#include "panels/PlugView.h"
#include "panels/PowerText.h"

#include "TestSupport.h"

#include <QPushButton>
#include <QTest>

using namespace TestSupport;

class TestPlugView : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void powerText_data();
    void powerText();
    void report_data();
    void report();
    void tooShortForAHeaderIsIgnored();
    void frame();
    void switchSendsTheBareHeader();

private:
    MainWindow_t *window = nullptr;
};

void TestPlugView::initTestCase() {
    window = new MainWindow_t; // the panels take their scope from it
}

void TestPlugView::cleanupTestCase() {
    delete window;
}

void TestPlugView::powerText_data() {
    QTest::addColumn<qint32>("hundredths");
    QTest::addColumn<QString>("text");

    QTest::newRow("12345") << 12345 << "123.45 W";
    QTest::newRow("100") << 100 << "1 W";
    QTest::newRow("0") << 0 << "0 W";
    QTest::newRow("-250") << -250 << "-2.5 W";
    QTest::newRow("1") << 1 << "0.01 W";
    QTest::newRow("123456789") << 123456789 << "1.23457e+06 W";
    QTest::newRow("100000000") << 100000000 << "1e+06 W";
    QTest::newRow("99999999") << 99999999 << "1e+06 W";
    QTest::newRow("minimum") << qint32(0x80000000) << "-2.14748e+07 W";
}

void TestPlugView::powerText() {
    QFETCH(qint32, hundredths);
    QTEST(_PowerText(hundredths), "text");
}

void TestPlugView::report_data() {
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QColor>("title");
    QTest::addColumn<QString>("apparent");
    QTest::addColumn<QString>("real");
    QTest::addColumn<QString>("name");

    const QColor on(Qt::yellow);
    const QColor off(Qt::gray);
    QTest::newRow("full report") << hex("00 10 01 08 39300000 64000000 04 4B697465") << on << "1 W"
                                 << "123.45 W"
                                 << "Kite";
    QTest::newRow("N 0: no readings") << hex("00 10 01 00 04 4B697465") << off << "0 W"
                                      << "0 W"
                                      << "Kite";
    QTest::newRow("no real power, no apparent")
        << hex("00 10 01 08 00000000 39300000 04 4B697465") << on << "0 W"
        << "0 W"
        << "Kite";
    QTest::newRow("negative real power")
        << hex("00 10 01 08 06FFFFFF 39300000 00") << on << "123.45 W"
        << "-2.5 W"
        << "";
    QTest::newRow("exponent") << hex("00 10 01 08 00E1F505 15CD5B07 00") << on << "1.23457e+06 W"
                              << "1e+06 W"
                              << "";
    QTest::newRow("zero byte in the name") << hex("00 10 01 00 04 4B 00 74 65") << off << "0 W"
                                           << "0 W"
                                           << "K";
    QTest::newRow("name longer than what remains") << hex("00 10 01 00 09 4B 69") << off << "0 W"
                                                   << "0 W"
                                                   << "Ki";
    QTest::newRow("name length 0x80 takes the rest")
        << hex("00 10 01 00 80 4B697465 21") << off << "0 W"
        << "0 W"
        << "Kite!";
    QTest::newRow("N counts, not its value")
        << hex("00 10 01 01 64000000 C8000000 00") << on << "2 W"
        << "1 W"
        << "";
    // Cut short: missing fields read as 0 and the name as empty.
    QTest::newRow("header only") << hex("C0 10 01") << off << "0 W"
                                 << "0 W"
                                 << "";
    QTest::newRow("cut inside the readings") << hex("00 10 01 08 39300000 6400") << on << "0 W"
                                             << "123.45 W"
                                             << "";
    QTest::newRow("cut before the name length")
        << hex("00 10 01 08 39300000 64000000") << on << "1 W"
        << "123.45 W"
        << "";
    QTest::newRow("N 0x80") << hex("00 10 01 80 39300000 64000000 04 4B697465") << on << "1 W"
                            << "123.45 W"
                            << "";
    QTest::newRow("N 0xFF") << hex("00 10 01 FF 04 4B697465") << on << "0 W"
                            << "1.95306e+07 W"
                            << "";
    QTest::newRow("N 127 past the end")
        << hex("00 10 01 7F 39300000 64000000 04 4B697465") << on << "1 W"
        << "123.45 W"
        << "";
}

void TestPlugView::report() {
    QFETCH(QByteArray, datagram);

    // The first report is on the panel when it is built; a later one replaces it.
    PlugView_t fresh(QHostAddress("fe80::10"), datagram);
    PlugView_t reused(QHostAddress("fe80::11"), hex("00 10 01 08 0A000000 0B000000 03 4F6C64"));
    reused._DataRead(datagram);

    for (PlugView_t *panel : {&fresh, &reused}) {
        QTEST(titleColour(panel), "title");
        QTEST(cellText(panel, 1, 2), "apparent");
        QTEST(cellText(panel, 1, 3), "real");
        QTEST(cellText(panel, 1, 1), "name");
    }
}

void TestPlugView::tooShortForAHeaderIsIgnored() {
    PlugView_t panel(QHostAddress("fe80::12"), hex("00 10 01 08 39300000 64000000 04 4B697465"));
    for (const QByteArray &junk : {QByteArray(), hex("00"), hex("00 10")}) {
        panel._DataRead(junk);
        QCOMPARE(titleColour(&panel), QColor(Qt::yellow));
        QCOMPARE(cellText(&panel, 1, 3), QStringLiteral("123.45 W"));
        QCOMPARE(cellText(&panel, 1, 1), QStringLiteral("Kite"));
    }
}

void TestPlugView::frame() {
    PlugView_t panel(QHostAddress("FE80::AB:CD"), hex("00 10 01 00 00"));
    QCOMPARE(panel.height(), 105);
    QCOMPARE(panel.minimumHeight(), 105);
    QCOMPARE(panel.maximumHeight(), 105);
    QCOMPARE(panel.metaObject()->className(), "PlugView_t");
    QCOMPARE(title(&panel)->text(), QStringLiteral("TERNIX36 Plug"));
    QCOMPARE(cellText(&panel, 3, 1), scoped("fe80::ab:cd"));
    QCOMPARE(cellText(&panel, 3, 2), QStringLiteral("Apparent"));
    QCOMPARE(cellText(&panel, 3, 3), QStringLiteral("Real"));
    auto *button = qobject_cast<QPushButton *>(cell(&panel, 1, 4));
    QVERIFY(button);
    QCOMPARE(button->text(), QStringLiteral("Switch"));
    QCOMPARE(button->size(), QSize(60, 60));

    auto *grid = qobject_cast<QGridLayout *>(panel.layout());
    int row, column, rowSpan, columnSpan;
    grid->getItemPosition(grid->indexOf(title(&panel)), &row, &column, &rowSpan, &columnSpan);
    QCOMPARE(QList<int>({row, column, rowSpan, columnSpan}), QList<int>({0, 0, 1, 5}));
    grid->getItemPosition(grid->indexOf(cell(&panel, 1, 3)), &row, &column, &rowSpan, &columnSpan);
    QCOMPARE(QList<int>({row, column, rowSpan, columnSpan}), QList<int>({1, 3, 2, 1}));

    const QFont plain = QLabel().font();
    const QFont value = cell(&panel, 1, 2)->font();
    QCOMPARE(value.weight(), QFont::Bold);
    QCOMPARE(value.pointSize(), 2 * plain.pointSize());
    QCOMPARE(cell(&panel, 1, 3)->font(), value);
    QCOMPARE(title(&panel)->font(), plain);
}

void TestPlugView::switchSendsTheBareHeader() {
    Catcher node(QHostAddress::LocalHostIPv6, 40000);
    QVERIFY(node.isBound());
    PlugView_t panel(QHostAddress::LocalHostIPv6, hex("00 10 01 00 00"));
    QCOMPARE(node.settle().size(), 0); // nothing at construction

    auto *button = qobject_cast<QPushButton *>(cell(&panel, 1, 4));
    QTest::mouseClick(button, Qt::LeftButton);
    QTest::mouseClick(button, Qt::LeftButton);
    node.waitFor(2);
    QCOMPARE(node.payloads(), QList<QByteArray>({hex("C0 10 01"), hex("C0 10 01")}));
    QCOMPARE(node.settle().size(), 2);
}

QTEST_MAIN(TestPlugView)
#include "tst_plugview.moc"
