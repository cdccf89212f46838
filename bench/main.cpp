#include "Driver.h"
#include "NodeSenders.h"
#include "Scenarios.h"
#include "app/RepaintTuning.h"

#include <QApplication>
#include <QTextStream>

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

    if (arguments.value(0) != QLatin1String("--scenario"))
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
        return Bench::RunReportPath(size, false);
    if (scenario == QLatin1String("report-top"))
        return Bench::RunReportPath(size, true);
    if (scenario == QLatin1String("discovery"))
        return Bench::RunDiscovery(size);
    if (scenario == QLatin1String("burst"))
        return Bench::RunBurst(size);
    QTextStream(stderr) << "unknown scenario " << scenario << Qt::endl;
    return 2;
}
