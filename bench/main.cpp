// SPDX-License-Identifier: GPL-3.0-or-later
#include "Driver.h"
#include "NodeSenders.h"
#include "Scenarios.h"
#include "app/RepaintTuning.h"

#include <QApplication>
#include <QTextStream>

namespace {
constexpr char Usage[] =
    "usage: ternix36-bench [OUTPUT.md]          every measurement, table to OUTPUT.md\n"
    "       ternix36-bench --scenario NAME [SIZE]  one measurement (report-baseline,\n"
    "                                            report, report-norecord, report-top,\n"
    "                                            discovery, burst, find, bridge,\n"
    "                                            bridge-discovery, bridge-readback,\n"
    "                                            history-windows,\n"
    "                                            history, history-switching,\n"
    "                                            site-discovery, site-reports [RATE])\n"
    "Run it through 'make bench': the program under test sends its probe and\n"
    "commands, which must stay inside a private network namespace.\n";
} // namespace

// Without arguments: runs every measurement several times, each in a process
// of its own, prints the table and writes docs/performance.md.
// With "--scenario NAME [SIZE]": runs one measurement in this process.
int main(int argc, char *argv[]) {
    const QStringList arguments = [&] {
        QStringList list;
        for (int i = 1; i < argc; ++i)
            list.append(QString::fromLocal8Bit(argv[i]));
        return list;
    }();

    const QString first = arguments.value(0);
    if (first == QLatin1String("--help") || first == QLatin1String("-h")) {
        QTextStream(stdout) << Usage;
        return 0;
    }
    if (first.startsWith(QLatin1Char('-')) && first != QLatin1String("--scenario")) {
        QTextStream(stderr) << Usage;
        return 2;
    }
    // The measured window probes its first interface, and panels send commands.
    if (!qEnvironmentVariableIsSet("TERNIX36_TEST_NETNS")) {
        QTextStream(stderr) << "ternix36-bench: not inside a private network namespace\n" << Usage;
        return 2;
    }
    if (first != QLatin1String("--scenario"))
        return Bench::RunDriver(argc, argv);

    // Set up as the program's own main does.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    _SkipSearchForOpaqueSiblings();
    QApplication application(argc, argv);
    const QString scenario = arguments.value(1);
    const int size = arguments.value(2).toInt();
    if (scenario == QLatin1String("report-baseline"))
        return Bench::RunReportBaseline();
    if (scenario == QLatin1String("report"))
        return Bench::RunReportPath(size, false, true);
    if (scenario == QLatin1String("report-norecord"))
        return Bench::RunReportPath(size, false, false);
    if (scenario == QLatin1String("report-top"))
        return Bench::RunReportPath(size, true, true);
    if (scenario == QLatin1String("discovery"))
        return Bench::RunDiscovery(size);
    if (scenario == QLatin1String("burst"))
        return Bench::RunBurst(size);
    if (scenario == QLatin1String("find"))
        return Bench::RunFind(size);
    if (scenario == QLatin1String("bridge"))
        return Bench::RunBridge();
    if (scenario == QLatin1String("bridge-discovery"))
        return Bench::RunBridgeDiscovery(size);
    if (scenario == QLatin1String("bridge-readback"))
        return Bench::RunBridgeReadBack(size);
    if (scenario == QLatin1String("history-windows"))
        return Bench::RunHistoryWindows(size);
    if (scenario == QLatin1String("history"))
        return Bench::RunHistory(size);
    if (scenario == QLatin1String("history-switching"))
        return Bench::RunHistorySwitching(size);
    if (scenario == QLatin1String("site-discovery"))
        return Bench::RunSiteDiscovery(size);
    if (scenario == QLatin1String("site-reports"))
        return Bench::RunSiteReports(size, arguments.value(3).toInt());
    if (scenario == QLatin1String("site-publish"))
        return Bench::RunSitePublish(arguments.mid(2));
    QTextStream(stderr) << "unknown scenario " << scenario << Qt::endl;
    return 2;
}
