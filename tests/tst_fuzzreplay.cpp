// SPDX-License-Identifier: GPL-3.0-or-later
// Replays the fuzz targets' seed corpora and every input that once made a
// target fail (fuzz/regressions) through the same entry points, built without
// libFuzzer. In the sanitizer build this repeats the fuzzers' checks.

#include "app/MainWindow.h"
#include "fuzz/ReaderHarness.h"
#include "fuzz/RouteHarness.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

using namespace TestSupport;

namespace {

// Every file of fuzz/corpus/TARGET and fuzz/regressions/TARGET, as a data row.
int addInputRows(const QString &target) {
    int rows = 0;
    for (const char *folder : {"corpus", "regressions"}) {
        const QDir dir(QStringLiteral(TERNIX36_FUZZ_DIR "/%1/%2").arg(folder, target));
        for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
            QFile file(dir.filePath(name));
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QByteArray row = QByteArray(folder) + '/' + name.toUtf8();
            QTest::newRow(row.constData()) << file.readAll();
            ++rows;
        }
    }
    return rows;
}

const uint8_t *bytes(const QByteArray &input) {
    return reinterpret_cast<const uint8_t *>(input.constData());
}

} // namespace

class TestFuzzReplay : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void reader_data();
    void reader();
    void route_data();
    void route();

private:
    MainWindow_t *window = nullptr;
};

void TestFuzzReplay::initTestCase() {
    // The panels send their commands to the addresses the inputs name.
    if (!inPrivateNetwork())
        QSKIP("replays only inside the private network namespace of isolated.sh");
    // A link of our own, so that panels get a scope as on a real network.
    QCOMPARE(QProcess::execute("ip", {"link", "add", "fz0", "type", "veth", "peer", "name", "fz1"}),
             0);
    QCOMPARE(QProcess::execute("ip", {"link", "set", "fz0", "up"}), 0);
    QCOMPARE(QProcess::execute("ip", {"addr", "add", "fe80::f0/64", "dev", "fz0", "nodad"}), 0);
    window = new MainWindow_t;
    window->show();
}

void TestFuzzReplay::cleanupTestCase() {
    delete window;
}

void TestFuzzReplay::reader_data() {
    QTest::addColumn<QByteArray>("input");
    QVERIFY2(addInputRows("reader") > 0, "no reader corpus in " TERNIX36_FUZZ_DIR);
}

void TestFuzzReplay::reader() {
    QFETCH(QByteArray, input);
    const QString problem = _CheckReportReader(bytes(input), size_t(input.size()));
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void TestFuzzReplay::route_data() {
    QTest::addColumn<QByteArray>("input");
    QVERIFY2(addInputRows("route") > 0, "no route corpus in " TERNIX36_FUZZ_DIR);
}

void TestFuzzReplay::route() {
    QFETCH(QByteArray, input);
    const QString problem = _PlayRouteInput(bytes(input), size_t(input.size()));
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

QTEST_MAIN(TestFuzzReplay)
#include "tst_fuzzreplay.moc"
