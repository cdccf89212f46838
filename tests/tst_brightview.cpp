// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainWindow.h"
#include "panels/BrightView.h"

#include "TestSupport.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace TestSupport;

namespace {

const QByteArray FullReport = hex("00 11 01 08 D7000000 10270000 04 4B697465");

QLineEdit *field(QWidget *panel, int row) {
    return qobject_cast<QLineEdit *>(cell(panel, row, 5));
}

void press(QWidget *panel, int row) {
    QTest::mouseClick(qobject_cast<QPushButton *>(cell(panel, row, 6)), Qt::LeftButton);
}

} // namespace

class TestBrightView : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void report_data();
    void report();
    void cutReports_data();
    void cutReports();
    void frame();
    void readingsAreNeverCut_data();
    void readingsAreNeverCut();
    void configure_data();
    void configure();
    void pollFromEitherKind_data();
    void pollFromEitherKind();

private:
    MainWindow_t *window = nullptr;
};

void TestBrightView::initTestCase() {
    window = new MainWindow_t; // the panels take their scope from it
}

void TestBrightView::cleanupTestCase() {
    delete window;
}

void TestBrightView::report_data() {
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("temperature");
    QTest::addColumn<QString>("brightness");
    QTest::addColumn<QString>("name");

    const QString degrees = QString::fromUtf8(" \xC2\xB0"
                                              "C");
    QTest::newRow("full report") << FullReport << "21" + degrees << "10000"
                                 << "Kite";
    QTest::newRow("-15 tenths") << hex("00 11 01 08 F1FFFFFF FFFFFFFF 00") << "-1" + degrees << "-1"
                                << "";
    QTest::newRow("-9 tenths: no minus zero")
        << hex("00 11 01 08 F7FFFFFF 00000000 00") << "0" + degrees << "0"
        << "";
    QTest::newRow("extremes") << hex("00 12 01 08 00000080 FFFFFF7F 00") << "-214748364" + degrees
                              << "2147483647"
                              << "";
    QTest::newRow("readings at fixed places, whatever N")
        << hex("00 11 01 00 64000000 05000000") << "10" + degrees << "5"
        << ""; // byte 4 is also the name length, and byte 5 a zero
    QTest::newRow("name length 0x80 takes the rest")
        << hex("00 11 01 08 00000000 00000000 80 4B697465 21") << "0" + degrees << "0"
        << "Kite!";
    // Cut short: missing readings read as 0, the name as empty.
    QTest::newRow("header only") << hex("C0 11 01") << "0" + degrees << "0"
                                 << "";
    QTest::newRow("cut inside the brightness")
        << hex("00 11 01 08 D7000000 1027") << "21" + degrees << "0"
        << "";
    QTest::newRow("N 0x80") << hex("00 11 01 80 D7000000 10270000 04 4B697465") << "21" + degrees
                            << "10000"
                            << "";
    QTest::newRow("N 127 past the end")
        << hex("00 11 01 7F D7000000 10270000 04 4B697465") << "21" + degrees << "10000"
        << "";
}

void TestBrightView::report() {
    QFETCH(QByteArray, datagram);

    BrightView_t fresh(QHostAddress("fe80::30"), datagram);
    BrightView_t reused(QHostAddress("fe80::31"), hex("00 11 01 08 0A000000 0B000000 03 4F6C64"));
    reused._DataRead(datagram);

    const QColor untouched = fresh.palette().color(QPalette::Window);
    for (BrightView_t *panel : {&fresh, &reused}) {
        QTEST(cellText(panel, 1, 3), "temperature");
        QTEST(cellText(panel, 1, 2), "brightness");
        QTEST(cellText(panel, 1, 1), "name");
        QCOMPARE(titleColour(panel), untouched); // no title palette, ever
    }
}

void TestBrightView::cutReports_data() {
    QTest::addColumn<QByteArray>("datagram");

    QTest::newRow("full report") << FullReport;
    QTest::newRow("N 0") << hex("00 11 01 00 04 4B697465");
    QTest::newRow("N 0x80") << hex("00 11 01 80 D7000000 10270000 04 4B697465");
    QTest::newRow("N 0xFF") << hex("00 11 01 FF 04 4B697465");
    QTest::newRow("N 127") << hex("00 11 01 7F D7000000 10270000 04 4B697465");
    QTest::newRow("name length beyond the end") << hex("00 11 01 08 D7000000 10270000 7F 4B");
    QTest::newRow("name length 0x80") << hex("00 11 01 08 D7000000 10270000 80 4B69");
}

void TestBrightView::cutReports() {
    QFETCH(QByteArray, datagram);
    checkCutReports<BrightView_t>(hex("00 11 01 08 0A000000 0B000000 03 4F6C64"), datagram);
}

void TestBrightView::frame() {
    BrightView_t panel(QHostAddress("FE80::AB:CD"), hex("00 11 01 00 00"));
    QCOMPARE(panel.metaObject()->className(), "BrightView_t");
    QCOMPARE(panel.metaObject()->superClass(), &QFrame::staticMetaObject);
    QCOMPARE(ownSlots(&panel), QStringList({"private _Poll()", "private _Configure()"}));
    QCOMPARE(panel.minimumHeight(), 115);
    QCOMPARE(panel.maximumHeight(), 115);
    QCOMPARE(title(&panel)->text(), QStringLiteral("TERNIX36 Bright"));
    QCOMPARE(placement(&panel, title(&panel)), QList<int>({0, 0, 1, 8}));
    QCOMPARE(cellText(&panel, 4, 1), scoped("fe80::ab:cd"));
    QCOMPARE(placement(&panel, cell(&panel, 4, 1)), QList<int>({4, 1, 1, 1}));
    QCOMPARE(placement(&panel, cell(&panel, 1, 1)), QList<int>({1, 1, 2, 1}));

    QWidget *brightness = cell(&panel, 1, 2);
    QWidget *temperature = cell(&panel, 1, 3);
    QCOMPARE(placement(&panel, brightness), QList<int>({1, 2, 2, 1}));
    QCOMPARE(placement(&panel, temperature), QList<int>({1, 3, 2, 1}));
    for (QWidget *value : {brightness, temperature}) {
        QCOMPARE(value->minimumWidth(), 100);
        QCOMPARE(value->maximumWidth(), 100);
        QCOMPARE(qobject_cast<QLabel *>(value)->alignment(), Qt::AlignHCenter | Qt::AlignVCenter);
    }
    const QFont plain = QLabel().font();
    QCOMPARE(temperature->font().weight(), QFont::Bold);
    QCOMPARE(temperature->font().pointSize(), 2 * plain.pointSize());
    QCOMPARE(brightness->font(), temperature->font());
    QCOMPARE(title(&panel)->font(), plain);

    const QStringList captions = {"Brightness", "Temperature"};
    for (int column : {2, 3}) {
        auto *caption = qobject_cast<QLabel *>(cell(&panel, 4, column));
        QCOMPARE(caption->text(), captions.at(column - 2));
    }

    const QStringList parameters = {"Poll Intervall", "Measure Intervall", "Delta Temperature",
                                    "Delta Brightness"};
    for (int row = 1; row <= 4; ++row) {
        QCOMPARE(cellText(&panel, row, 4), parameters.at(row - 1));
        QCOMPARE(placement(&panel, cell(&panel, row, 4)), QList<int>({row, 4, 1, 1}));
        QLineEdit *edit = field(&panel, row);
        QVERIFY(edit);
        QCOMPARE(edit->text(), QStringLiteral("0"));
        QCOMPARE(edit->minimumWidth(), 60);
        QCOMPARE(edit->maximumWidth(), 60);
        QCOMPARE(placement(&panel, edit), QList<int>({row, 5, 1, 1}));
    }

    auto *poll = qobject_cast<QPushButton *>(cell(&panel, 1, 6));
    auto *configure = qobject_cast<QPushButton *>(cell(&panel, 4, 6));
    QVERIFY(poll && configure);
    QCOMPARE(poll->text(), QStringLiteral("Poll"));
    QCOMPARE(poll->minimumSize(), QSize(60, 60));
    QCOMPARE(poll->maximumSize(), QSize(60, 60));
    QCOMPARE(placement(&panel, poll), QList<int>({1, 6, 3, 1}));
    QCOMPARE(configure->text(), QStringLiteral("Configure"));
    QCOMPARE(configure->minimumSize(), QSize(60, 20));
    QCOMPARE(configure->maximumSize(), QSize(60, 20));
    QCOMPARE(placement(&panel, configure), QList<int>({4, 6, 1, 1}));
}

void TestBrightView::configure_data() {
    // The fields from top to bottom: poll interval, measure interval, delta
    // temperature, delta brightness.
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QByteArray>("command");

    QTest::newRow("1 2 3 4") << QStringList{"1", "2", "3", "4"}
                             << hex("80 11 01 0200 0100 1E000000 04000000");
    QTest::newRow("as built") << QStringList{"0", "0", "0", "0"}
                              << hex("80 11 01 0000 0000 00000000 00000000");
    QTest::newRow("empty or letters")
        << QStringList{"", "abc", "", "x1"} << hex("80 11 01 0000 0000 00000000 00000000");
    QTest::newRow("not whole base-10 numbers") << QStringList{"0x10", "1e3", "12abc", "2.5"}
                                               << hex("80 11 01 0000 0000 00000000 00000000");
    QTest::newRow("blanks around the number")
        << QStringList{" 5", "6 ", "\t7\t", " 8 "} << hex("80 11 01 0600 0500 46000000 08000000");
    QTest::newRow("blanks inside the number") << QStringList{"1 2", "- 3", "4\u00A05", "1,000"}
                                              << hex("80 11 01 0000 0000 00000000 00000000");
    QTest::newRow("signs") << QStringList{"+7", "-2", "-1", "-4"}
                           << hex("80 11 01 FEFF 0700 F6FFFFFF FCFFFFFF");
    QTest::newRow("poll interval -1")
        << QStringList{"-1", "0", "0", "0"} << hex("80 11 01 0000 FFFF 00000000 00000000");
    QTest::newRow("measure interval above 65535")
        << QStringList{"65535", "65537", "0", "0"} << hex("80 11 01 0100 FFFF 00000000 00000000");
    QTest::newRow("beyond 32 bits counts as 0")
        << QStringList{"2147483648", "-2147483649", "99999999999", "2147483648"}
        << hex("80 11 01 0000 0000 00000000 00000000");
    QTest::newRow("32-bit extremes") << QStringList{"2147483647", "-2147483648", "0", "-2147483648"}
                                     << hex("80 11 01 0000 FFFF 00000000 00000080");
    QTest::newRow("delta temperature x10 wraps up")
        << QStringList{"0", "0", "214748365", "0"} << hex("80 11 01 0000 0000 02000080 00000000");
    QTest::newRow("delta temperature x10 wraps down")
        << QStringList{"0", "0", "-214748365", "0"} << hex("80 11 01 0000 0000 FEFFFF7F 00000000");
    QTest::newRow("delta temperature minimum")
        << QStringList{"0", "0", "-2147483648", "0"} << hex("80 11 01 0000 0000 00000000 00000000");
}

void TestBrightView::configure() {
    QFETCH(QStringList, fields);
    QFETCH(QByteArray, command);
    Catcher node(QHostAddress::LocalHostIPv6, 4444);
    QVERIFY(node.isBound());
    BrightView_t panel(QHostAddress::LocalHostIPv6, FullReport);

    for (int row = 1; row <= 4; ++row)
        field(&panel, row)->setText(fields.at(row - 1));
    press(&panel, 4);
    node.waitFor(1);
    QCOMPARE(node.payloads(), QList<QByteArray>({command}));
    QCOMPARE(node.settle().size(), 1);

    // Pressing stores nothing: the fields keep what was typed.
    for (int row = 1; row <= 4; ++row)
        QCOMPARE(field(&panel, row)->text(), fields.at(row - 1));
}

void TestBrightView::pollFromEitherKind_data() {
    QTest::addColumn<QByteArray>("report");
    QTest::newRow("0x0111") << FullReport;
    QTest::newRow("0x0112") << hex("00 12 01 08 D7000000 10270000 04 4B697465");
}

void TestBrightView::pollFromEitherKind() {
    QFETCH(QByteArray, report);
    Catcher node(QHostAddress::LocalHostIPv6, 4444);
    Catcher otherPort(QHostAddress::LocalHostIPv6, 40000);
    QVERIFY(node.isBound());
    QVERIFY(otherPort.isBound());
    BrightView_t panel(QHostAddress::LocalHostIPv6, report);
    QCOMPARE(node.settle().size(), 0); // nothing at construction

    press(&panel, 1);
    press(&panel, 1);
    node.waitFor(2);
    QCOMPARE(node.payloads(), QList<QByteArray>({hex("C0 11 01"), hex("C0 11 01")}));
    QCOMPARE(node.settle().size(), 2);
    QCOMPARE(otherPort.settle(0).size(), 0);
}

void TestBrightView::readingsAreNeverCut_data() {
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("brightness");
    QTest::addColumn<QString>("temperature");

    QTest::newRow("fits") << hex("00 11 01 08 D7000000 10270000 00") << "10000"
                          << "21 \u00B0C";
    QTest::newRow("extremes") << hex("00 11 01 08 00000080 00000080 00") << "-2147483648"
                              << "-214748364 \u00B0C";
}

void TestBrightView::readingsAreNeverCut() {
    QFETCH(QByteArray, datagram);
    BrightView_t panel(QHostAddress("fe80::1d"), datagram);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    auto *brightness = qobject_cast<QLabel *>(cell(&panel, 1, 2));
    auto *temperature = qobject_cast<QLabel *>(cell(&panel, 1, 3));
    QTEST(brightness->text(), "brightness");
    QTEST(temperature->text(), "temperature");
    checkValueFits(brightness);
    checkValueFits(temperature);
}

QTEST_MAIN(TestBrightView)
#include "tst_brightview.moc"
