// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/ReportReader.h"
#include "protocol/SiteReport.h"

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
    void siteReport_data();
    void siteReport();
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


// A report as a bridge passes it through a broker: what is taken, and what is
// dropped. A datagram taken is empty in no row, so empty means dropped.
void TestReportReader::siteReport_data() {
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<qint64>("heardMs");
    QTest::addColumn<QByteArray>("datagram"); // hex; empty: dropped

    const QByteArray longest = QByteArray(1024, 'a').toHex();
    QTest::newRow("plug") << QByteArray(
                                 R"({"heard":1781083211123,"datagram":"00100102000344657a"})")
                          << qint64(1781083211123) << QByteArray("00100102000344657a");
    QTest::newRow("upper-case hex, keys reordered")
        << QByteArray(R"({"datagram":"0030010A","heard":0})") << qint64(0)
        << QByteArray("0030010a");
    QTest::newRow("longest datagram")
        << QByteArray(R"({"heard":5,"datagram":")" + longest + R"("})") << qint64(5) << longest;
    QTest::newRow("one byte too long")
        << QByteArray(R"({"heard":5,"datagram":")" + longest + R"(61"})") << qint64(0)
        << QByteArray();
    QTest::newRow("shorter than a header")
        << QByteArray(R"({"heard":5,"datagram":"0010"})") << qint64(0) << QByteArray();
    QTest::newRow("odd digits") << QByteArray(R"({"heard":5,"datagram":"0010010"})") << qint64(0)
                                << QByteArray();
    QTest::newRow("not hex") << QByteArray(R"({"heard":5,"datagram":"00100x"})") << qint64(0)
                             << QByteArray();
    QTest::newRow("negative time")
        << QByteArray(R"({"heard":-1,"datagram":"001001"})") << qint64(0) << QByteArray();
    QTest::newRow("fractional time")
        << QByteArray(R"({"heard":1.5,"datagram":"001001"})") << qint64(0) << QByteArray();
    QTest::newRow("time as text") << QByteArray(R"({"heard":"5","datagram":"001001"})") << qint64(0)
                                  << QByteArray();
    QTest::newRow("no datagram") << QByteArray(R"({"heard":5})") << qint64(0) << QByteArray();
    QTest::newRow("array") << QByteArray(R"([5,"001001"])") << qint64(0) << QByteArray();
    QTest::newRow("cut") << QByteArray(R"({"heard":5,"datagram":"001001")") << qint64(0)
                         << QByteArray();
    QTest::newRow("empty") << QByteArray() << qint64(0) << QByteArray();
    QTest::newRow("payload over 4096 bytes")
        << QByteArray(R"({"heard":5,"datagram":"001001",)" + QByteArray(4096, ' ') + "}")
        << qint64(0) << QByteArray();
}

void TestReportReader::siteReport() {
    QFETCH(QByteArray, payload);
    QFETCH(qint64, heardMs);
    QFETCH(QByteArray, datagram);

    SiteReport_t report;
    QCOMPARE(SiteReport_t::_Read(payload, &report), !datagram.isEmpty());
    if (datagram.isEmpty())
        return;
    QCOMPARE(report.heardMs, heardMs);
    QCOMPARE(report.datagram.toHex(), datagram);
}

QTEST_GUILESS_MAIN(TestReportReader)
#include "tst_reportreader.moc"
