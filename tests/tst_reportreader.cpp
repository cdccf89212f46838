// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/ReportReader.h"

#include "TestSupport.h"

#include <QTest>

using TestSupport::hex;

class TestReportReader : public QObject {
    Q_OBJECT

private slots:
    void integers_data();
    void integers();
    void nodeName_data();
    void nodeName();
    void neverReadsPastTheEnd();
};

void TestReportReader::integers_data() {
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("u8");
    QTest::addColumn<int>("s8");
    QTest::addColumn<int>("u16");
    QTest::addColumn<qint32>("s32");

    QTest::newRow("little-endian")
        << hex("00 10 01 08 39 30 00 00") << 4 << 0x39 << 0x39 << 0x3039 << 12345;
    QTest::newRow("negative") << hex("00 10 01 08 06 FF FF FF") << 4 << 0x06 << 6 << 0xFF06 << -250;
    QTest::newRow("minimum") << hex("00 00 00 80") << 0 << 0 << 0 << 0 << qint32(0x80000000);
    QTest::newRow("signed byte") << hex("00 10 01 80") << 3 << 0x80 << -128 << 0 << 0;
    QTest::newRow("kind") << hex("C0 12 01") << 1 << 0x12 << 0x12 << 0x0112 << 0;
    // Fields that do not lie wholly inside the datagram read as 0.
    QTest::newRow("s32 one byte short")
        << hex("00 10 01 08 39 30 00") << 4 << 0x39 << 0x39 << 0x3039 << 0;
    QTest::newRow("u16 one byte short") << hex("C0 12") << 1 << 0x12 << 0x12 << 0 << 0;
    QTest::newRow("at the end") << hex("C0 10 01") << 3 << 0 << 0 << 0 << 0;
    QTest::newRow("far beyond") << hex("C0") << 1000 << 0 << 0 << 0 << 0;
    QTest::newRow("negative offset") << hex("C0 10 01") << -1 << 0 << 0 << 0 << 0;
    QTest::newRow("empty") << QByteArray() << 0 << 0 << 0 << 0 << 0;
}

void TestReportReader::integers() {
    QFETCH(QByteArray, datagram);
    QFETCH(int, offset);
    const ReportReader_t report(datagram);
    QTEST(int(report._U8(offset)), "u8");
    QTEST(int(report._S8(offset)), "s8");
    QTEST(int(report._U16(offset)), "u16");
    QTEST(report._S32(offset), "s32");
}

void TestReportReader::nodeName_data() {
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("name");

    QTest::newRow("N 8") << hex("00 10 01 08 0000000000000000 04 4B 69 74 65") << "Kite";
    QTest::newRow("N 0") << hex("00 10 01 00 04 4B 69 74 65") << "Kite";
    QTest::newRow("zero byte inside") << hex("00 10 01 00 04 4B 00 74 65") << "K";
    QTest::newRow("zero length") << hex("00 10 01 00 00 4B 69") << "";
    QTest::newRow("longer than what remains") << hex("00 10 01 00 7F 4B 69") << "Ki";
    QTest::newRow("length 0x80 takes the rest") << hex("00 10 01 00 80 4B 69 74 65") << "Kite";
    QTest::newRow("length 0xFF takes the rest") << hex("00 10 01 00 FF 4B 69") << "Ki";
    QTest::newRow("shorter than given") << hex("00 10 01 00 02 4B 69 74 65") << "Ki";
    QTest::newRow("Latin-1") << hex("00 10 01 00 03 4B FC 63") << QString::fromUtf8("Küc");
    QTest::newRow("name starts at the end") << hex("00 10 01 00 03") << "";
    QTest::newRow("length beyond the end") << hex("00 10 01 08 0000") << "";
    QTest::newRow("no N") << hex("00 10 01") << "";
    QTest::newRow("empty") << QByteArray() << "";
    QTest::newRow("negative N") << hex("00 10 01 FF 04 4B 69 74 65") << "";
    QTest::newRow("N -128") << hex("00 10 01 80 04 4B 69 74 65") << "";
    QTest::newRow("N 127 beyond the end") << hex("00 10 01 7F 04 4B 69 74 65") << "";
}

void TestReportReader::nodeName() {
    QFETCH(QByteArray, datagram);
    QTEST(ReportReader_t(datagram)._NodeName(), "name");
}

void TestReportReader::neverReadsPastTheEnd() {
    // A datagram cut out of a larger buffer: bytes after its end are 'X', so
    // any read beyond the datagram would show up as an 'X' in the name.
    const QByteArray buffer = hex("00 10 01 00 7F 4B 69") + QByteArray(64, 'X');
    for (int length = 0; length <= 7; ++length) {
        const QByteArray datagram = QByteArray::fromRawData(buffer.constData(), length);
        const ReportReader_t report(datagram);
        QVERIFY2(!report._NodeName().contains(QLatin1Char('X')),
                 qPrintable(QString::number(length)));
        for (int offset = length; offset < length + 8; ++offset)
            QCOMPARE(report._U8(offset), quint8(0));
        for (int offset = length - 3; offset < length + 8; ++offset)
            QCOMPARE(report._S32(offset), 0);
    }
}

QTEST_GUILESS_MAIN(TestReportReader)
#include "tst_reportreader.moc"
