// SPDX-License-Identifier: GPL-3.0-or-later
// The Wireshark dissector under tshark, on captures written here: how it tells
// commands from reports, what it says of bad datagrams, that it prints the
// power as the panels do, and that no input makes it fail.

#include "panels/PowerText.h"

#include "PcapFile.h"
#include "TestSupport.h"
#include "Tshark.h"

#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>
#include <QTest>

using namespace TestSupport;

namespace {

// "fe80::1 4444 ff02::1 40000 00 01 02": sender, its port, receiver, its port, bytes.
struct Datagram {
    QString source;
    quint16 sourcePort;
    QString destination;
    quint16 destinationPort;
    QByteArray payload;
};

Datagram datagram(const char *text) {
    const QStringList words = QString::fromLatin1(text).split(QLatin1Char(' '));
    return {words[0], quint16(words[1].toUInt()), words[2], quint16(words[3].toUInt()),
            QByteArray::fromHex(words.mid(4).join(QString()).toLatin1())};
}

const char *const Probe = "fe80::1 4444 ff02::1 40000 00 01 02 03 04 05 06 07 08 09";

const QStringList Fields = {QStringLiteral("ternix36.type"), QStringLiteral("_ws.col.Info"),
                            QStringLiteral("_ws.expert.message")};

QString plugReport(qint32 real, qint32 apparent) {
    QByteArray report = hex("00 10 01 08");
    report += QByteArray(reinterpret_cast<const char *>(&real), 4);
    report += QByteArray(reinterpret_cast<const char *>(&apparent), 4);
    return QStringLiteral("fe80::2 40000 fe80::1 4444 ") + QString::fromLatin1(report.toHex()) +
           QStringLiteral("00");
}

} // namespace

class TestDissector : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void decodes_data();
    void decodes();
    void garbageRaisesNoLuaError();

private:
    QTemporaryDir work;
    Tshark tshark;
};

void TestDissector::initTestCase() {
    QVERIFY(work.isValid());
    QVERIFY2(!tshark.otherCopyLoaded(),
             "Wireshark already loads a ternix36.lua of its own (an installed package?), "
             "which would be tested instead of the checkout's");
}

void TestDissector::decodes_data() {
    QTest::addColumn<QStringList>("datagrams"); // the last one is checked
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("info");
    QTest::addColumn<QString>("warning"); // part of an expert message, or none

    // Telling commands from reports.
    QTest::newRow("the probe's sender is the program")
        << QStringList{Probe, "fe80::1 4444 fe80::2 4444 00 11 01"} << QStringList() << "command"
        << "Command Bright: poll"
        << "Operation byte 0x00 is not one that Bright commands use";
    QTest::newRow("to the probe's sender, a report")
        << QStringList{Probe, "fe80::2 50000 fe80::1 4444 C0 30 01 01 B2 00"} << QStringList()
        << "report"
        << "Report Dimmer \"\": level 50 %" << QString();
    QTest::newRow("the preference names the program")
        << QStringList{"fe80::1 4444 fe80::2 4444 C0 11 01"}
        << QStringList{"-o", "ternix36.program_address:FE80:0::1"} << "command"
        << "Command Bright: poll" << QString();
    QTest::newRow("neither: to port 40000, a command")
        << QStringList{"fe80::1 4444 fe80::2 40000 C0 21 01 03"} << QStringList() << "command"
        << "Command Blinds: up" << QString();
    QTest::newRow("neither: from a fresh port with C0, a command")
        << QStringList{"fe80::1 50000 fe80::2 4444 C0 20 01 01"} << QStringList() << "command"
        << "Command ADPlug: switch on" << QString();
    QTest::newRow("neither: from a node's port, a report")
        << QStringList{"fe80::2 4444 fe80::1 4444 C0 20 01 09 01 00 00 00 00 00 00 00 00 00"}
        << QStringList() << "report"
        << "Report ADPlug \"\": on, real 0 W, apparent 0 W" << QString();
    QTest::newRow("neither: from a fresh port without C0 or 80, a report")
        << QStringList{"fe80::2 50000 fe80::1 4444 00 30 01 01 32 00"} << QStringList() << "report"
        << "Report Dimmer \"\": level 50 %" << QString();

    // Bad datagrams, decoded as far as their bytes go.
    QTest::newRow("shorter than the header")
        << QStringList{"fe80::2 4444 fe80::1 4444 00 10"} << QStringList() << "report"
        << "Report: 2 bytes, shorter than the header"
        << "Report of 2 bytes is shorter than the 3-byte header";
    QTest::newRow("N beyond the end")
        << QStringList{"fe80::2 40000 fe80::1 4444 00 10 01 08 A0 0F 00 00"} << QStringList()
        << "report"
        << "Report Plug \"\": real 40 W, apparent 0 W"
        << "N = 8 puts the name length at byte 12, past the end of the 8-byte datagram";
    QTest::newRow("L beyond the end")
        << QStringList{"fe80::2 4444 fe80::1 4444 00 30 01 01 B2 09 41 42"} << QStringList()
        << "report"
        << "Report Dimmer \"AB\": level 50 %"
        << "L = 9 reaches past the end of the datagram: the name is cut to 2 bytes";
    QTest::newRow("negative N")
        << QStringList{"fe80::2 40000 fe80::1 4444 00 10 01 FF 01 00 00 00 00 00 00 00"}
        << QStringList() << "report"
        << "Report Plug \"\": real 0.01 W, apparent 0 W"
        << "N = -1 is negative";
    QTest::newRow("unknown kind") << QStringList{"fe80::2 4444 fe80::1 4444 00 01 10 00"}
                                  << QStringList() << "report"
                                  << "Report of unknown kind 0x1001"
                                  << "Unknown kind 0x1001";
    QTest::newRow("command cut short")
        << QStringList{"fe80::1 50000 fe80::2 4444 C0 30 01 01"} << QStringList() << "command"
        << "Command Dimmer: level"
        << "The level at byte 4 lies past the end of the 4-byte datagram";

    // Texts as the panels write them.
    QTest::newRow("name cut at a zero byte, Latin-1")
        << QStringList{"fe80::2 4444 fe80::1 4444 00 12 01 08 F1 FF FF FF FF FF FF FF 04 E9 74 00 "
                       "42"}
        << QStringList() << "report"
        << QString::fromUtf8("Report Bright \"\xC3\xA9t\": temperature -1 \xC2\xB0"
                             "C, brightness -1")
        << QString();
    QTest::newRow("temperature truncated toward zero")
        << QStringList{"fe80::2 4444 fe80::1 4444 00 11 01 08 F7 FF FF FF 10 27 00 00 00"}
        << QStringList() << "report"
        << QString::fromUtf8("Report Bright \"\": temperature 0 \xC2\xB0"
                             "C, brightness 10000")
        << QString();
    QTest::newRow("configuration in its units")
        << QStringList{"fe80::1 50000 fe80::2 4444 80 11 01 02 00 FF FF E2 FF FF FF 04 00 00 00"}
        << QStringList() << "command"
        << QString::fromUtf8("Command Bright: configure measure interval 2, poll interval 65535, "
                             "delta temperature -3 \xC2\xB0"
                             "C, delta brightness 4")
        << QString();
    const QList<QPair<qint32, qint32>> powers = {{4000, 4444},
                                                 {100000000, 123456789},
                                                 {10000050, -250},
                                                 {-2147483647 - 1, 2147483647},
                                                 {0, 12345}};
    for (const auto &[real, apparent] : powers)
        QTest::addRow("power %d, %d", real, apparent)
            << QStringList{plugReport(real, apparent)} << QStringList() << "report"
            << QStringLiteral("Report Plug \"\": real %1, apparent %2")
                   .arg(_PowerText(real), _PowerText(real != 0 ? apparent : 0))
            << QString();
}

void TestDissector::decodes() {
    QFETCH(QStringList, datagrams);
    QFETCH(QStringList, options);
    QFETCH(QString, type);
    QFETCH(QString, info);
    QFETCH(QString, warning);

    const QString capture = work.filePath(QStringLiteral("decodes.pcap"));
    PcapFile file(capture);
    QVERIFY(file.isOpen());
    for (const QString &text : datagrams) {
        const Datagram d = datagram(qPrintable(text));
        file.add(d.source, d.sourcePort, d.destination, d.destinationPort, d.payload);
    }
    file.close();

    Tshark::Run run;
    const QList<Tshark::Frame> frames = tshark.frames(capture, Fields, options, &run);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(frames.size(), datagrams.size());
    const Tshark::Frame &last = frames.last();
    QCOMPARE(last["ternix36.type"], type);
    QCOMPARE(last["_ws.col.Info"], info);
    const QString experts = last["_ws.expert.message"];
    if (warning.isEmpty())
        QCOMPARE(experts, QString());
    else
        QVERIFY2(experts.contains(warning), qPrintable(experts));
}

// Every fuzz input, whole and cut at every length up to 16 bytes, as a report,
// as a command to port 40000 and as one to port 4444.
void TestDissector::garbageRaisesNoLuaError() {
    const QString capture = work.filePath(QStringLiteral("garbage.pcap"));
    PcapFile file(capture);
    QVERIFY(file.isOpen());
    int count = 0;
    for (const char *folder : {"corpus", "regressions"}) {
        QDirIterator inputs(QStringLiteral(TERNIX36_FUZZ_DIR "/") + QLatin1String(folder),
                            QDir::Files, QDirIterator::Subdirectories);
        while (inputs.hasNext()) {
            QFile input(inputs.next());
            QVERIFY(input.open(QIODevice::ReadOnly));
            const QByteArray bytes = input.readAll();
            for (int cut = 0; cut <= 17; ++cut) {
                const QByteArray payload = cut <= 16 ? bytes.left(cut) : bytes;
                file.add(QStringLiteral("fe80::2"), 4444, QStringLiteral("fe80::1"), 4444, payload);
                file.add(QStringLiteral("fe80::1"), 50000, QStringLiteral("fe80::2"), 40000,
                         payload);
                file.add(QStringLiteral("fe80::1"), 50000, QStringLiteral("fe80::2"), 4444,
                         payload);
                // UDP hands an empty payload to no dissector.
                count += payload.isEmpty() ? 0 : 3;
            }
        }
    }
    file.close();
    QVERIFY(count > 1000);

    const Tshark::Run run = tshark.run(capture, {QStringLiteral("-V")});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(!run.output.contains("Lua Error") && !run.errors.contains("Lua Error"),
             run.output.mid(run.output.indexOf("Lua Error"), 300).constData());
    QCOMPARE(run.output.count("TERNIX36 node protocol"), count);
}

QTEST_MAIN(TestDissector)
#include "tst_dissector.moc"
