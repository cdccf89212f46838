// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/WorkingDirectory.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class TestWorkingDirectory : public QObject {
    Q_OBJECT

private slots:
    void rule_data();
    void rule();

private:
    QTemporaryDir root;
};

void TestWorkingDirectory::rule_data() {
    // Executable directory and expected working directory, below a fresh root.
    QTest::addColumn<QString>("executableDirectory");
    QTest::addColumn<QString>("workingDirectory");

    QTest::newRow("Debug") << "t36/Debug"
                           << "t36";
    QTest::newRow("debug") << "t36/debug"
                           << "t36";
    QTest::newRow("DEBUG") << "t36/DEBUG"
                           << "t36";
    QTest::newRow("Release") << "t36/Release"
                             << "t36";
    QTest::newRow("release") << "t36/release"
                             << "t36";
    QTest::newRow("RELEASE") << "t36/RELEASE"
                             << "t36";
    QTest::newRow("ReLeAsE") << "t36/ReLeAsE"
                             << "t36";
    QTest::newRow("bin") << "t36/bin"
                         << "t36/bin";
    QTest::newRow("debug2") << "t36/debug2"
                            << "t36/debug2";
    QTest::newRow("xdebug") << "t36/xdebug"
                            << "t36/xdebug";
    QTest::newRow("debug above") << "debug/bin"
                                 << "debug/bin";
    QTest::newRow("one level only") << "t36/release/Debug"
                                    << "t36/release";
}

void TestWorkingDirectory::rule() {
    QFETCH(QString, executableDirectory);
    QFETCH(QString, workingDirectory);
    QVERIFY(root.isValid());
    const QDir base(root.path());
    QVERIFY(base.mkpath(executableDirectory));

    QCOMPARE(_WorkingDirectoryFor(base.filePath(executableDirectory)),
             QDir(base.filePath(workingDirectory)).absolutePath());
}

QTEST_GUILESS_MAIN(TestWorkingDirectory)
#include "tst_workingdirectory.moc"
