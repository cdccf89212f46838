// SPDX-License-Identifier: GPL-3.0-or-later
// The brightness sensor's four fields take any text. Whatever is typed, the
// configuration command carries exactly what the field rules give: a base-10
// integer in the signed 32-bit range as typed, anything else as 0; the
// intervals keep their low 16 bits, the delta temperature goes out times 10.

#include "app/MainWindow.h"
#include "panels/ItemView.h"
#include "protocol/NodeMap.h"
#include "protocol/Route.h"

#include "TestSupport.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace TestSupport;

namespace {

QLineEdit *field(QWidget *panel, int row) {
    return qobject_cast<QLineEdit *>(cell(panel, row, 5));
}

QString repeated(const QString &text, int times) {
    return text.repeated(times);
}

// Types the text as key presses, one character (or surrogate pair) a press.
void type(QLineEdit *field, const QString &text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype length = text.at(i).isHighSurrogate() ? 2 : 1;
        QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, text.mid(i, length),
                            Qt::NoModifier);
        i += length - 1;
    }
}

} // namespace

class TestSensorFields : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void configure_data();
    void configure();

private:
    MainWindow_t *window = nullptr;
    ItemView_t *sensor = nullptr;
};

void TestSensorFields::initTestCase() {
    window = new MainWindow_t;
    // A sensor on loopback, so that its commands reach a catcher here.
    _RouteDatagram(QHostAddress::LocalHostIPv6, hex("00 11 01 08 D7000000 10270000 04") + "Kite");
    sensor = NodeMap.value(_NodeKey(QHostAddress::LocalHostIPv6));
    QVERIFY(sensor);
    QCOMPARE(sensor->metaObject()->className(), "BrightView_t");
}

void TestSensorFields::cleanupTestCase() {
    delete window;
}

void TestSensorFields::configure_data() {
    // From top to bottom: poll interval, measure interval, delta temperature,
    // delta brightness. The command puts the measure interval first.
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<bool>("typed"); // by key presses, or set as a whole
    QTest::addColumn<QByteArray>("command");

    const QByteArray zeros = hex("80 11 01 0000 0000 00000000 00000000");
    QTest::newRow("huge") << QStringList{"99999999999999999999", "4294967296", "2147483648",
                                         "-2147483649"}
                          << true << zeros;
    QTest::newRow("huge with many digits")
        << QStringList{repeated("9", 300), "-" + repeated("9", 300), "1" + repeated("0", 20),
                       "18446744073709551617"}
        << false << zeros;
    QTest::newRow("negative") << QStringList{"-1", "-65536", "-5", "-2147483648"} << true
                              << hex("80 11 01 0000 FFFF CEFFFFFF 00000080");
    QTest::newRow("negative zero and lone signs")
        << QStringList{"-0", "-", "+", "+-1"} << true << zeros;
    QTest::newRow("non-ASCII digits")
        << QStringList{QString::fromUtf8("\xEF\xBC\x91\xEF\xBC\x92"),         // fullwidth 12
                       QString::fromUtf8("\xD9\xA1\xD9\xA2"),                 // Arabic-Indic 12
                       QString::fromUtf8("\xC2\xB2"),                         // superscript 2
                       QString::fromUtf8("\xF0\x9D\x9F\x8F\xF0\x9D\x9F\x90")} // bold 12
        << true << zeros;
    QTest::newRow("non-ASCII around digits")
        << QStringList{QString::fromUtf8("12\xC3\xA9"),
                       QString::fromUtf8("\xC3\xA9"
                                         "12"),
                       QString::fromUtf8("\xE2\x88\x92"
                                         "5"), // minus sign, not hyphen-minus
                       QString::fromUtf8("\xC2\xA0"
                                         "12")} // no-break space
        << true << zeros;
    QTest::newRow("emoji, a lone surrogate, a zero character")
        << QStringList{QString::fromUtf8("\xF0\x9F\x98\x80"), QString(QChar(0xD800)),
                       QStringLiteral("1") + QChar(0) + QStringLiteral("2"),
                       QString(QChar(0)) + QStringLiteral("7")}
        << false << zeros;
    QTest::newRow("10,000 characters, out of range")
        << QStringList{repeated("1", 10000), repeated("9", 10000), "-" + repeated("8", 9999),
                       repeated("5", 10000)}
        << false << zeros;
    QTest::newRow("10,000 characters, leading zeros and blanks")
        << QStringList{repeated("0", 9999) + "7", "-" + repeated("0", 9998) + "1",
                       repeated(" ", 9998) + "42", repeated("0", 10000)}
        << false << hex("80 11 01 FFFF 0700 A4010000 00000000");
    QTest::newRow("10,000 non-ASCII characters")
        << QStringList{repeated(QString::fromUtf8("\xC3\xA9"), 10000),
                       repeated(QString::fromUtf8("\xEF\xBC\x91"), 10000),
                       repeated(QString::fromUtf8("\xF0\x9F\x98\x80"), 5000), // 10,000 UTF-16 units
                       repeated(QString::fromUtf8("\xE2\x82\xAC"), 10000)}
        << false << zeros;
    QTest::newRow("10,000 digits typed") << QStringList{repeated("3", 10000), "1", "2", "3"} << true
                                         << hex("80 11 01 0100 0000 14000000 03000000");
}

void TestSensorFields::configure() {
    QFETCH(QStringList, fields);
    QFETCH(bool, typed);
    QFETCH(QByteArray, command);
    Catcher node(QHostAddress::LocalHostIPv6, 4444);
    QVERIFY(node.isBound());

    for (int row = 1; row <= 4; ++row) {
        QLineEdit *edit = field(sensor, row);
        QVERIFY(edit);
        edit->clear();
        if (typed)
            type(edit, fields.at(row - 1));
        else
            edit->setText(fields.at(row - 1));
        QCOMPARE(edit->text(), fields.at(row - 1));
    }
    QTest::mouseClick(qobject_cast<QPushButton *>(cell(sensor, 4, 6)), Qt::LeftButton);
    QCOMPARE(node.waitFor(1).size(), 1);
    QCOMPARE(node.payloads().first().toHex(' '), command.toHex(' '));
    QCOMPARE(node.settle(100).size(), 1);
}

QTEST_MAIN(TestSensorFields)
#include "tst_sensorfields.moc"
