// SPDX-License-Identifier: GPL-3.0-or-later
#include "Driver.h"
#include "Harness.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMap>
#include <QPair>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSysInfo>
#include <QTextStream>
#include <QThread>

#include <algorithm>

#include <time.h>

namespace Bench {
namespace {

// The site's rows: nodes with a retained report, and live reports of ten nodes.
constexpr int SiteNodes = 10000;
constexpr int SiteReports = 40000;

QTextStream &Err() {
    static QTextStream stream(stderr);
    return stream;
}

// Several runs of one measurement: the median, and the range around it.
struct Figure {
    QList<double> samples;

    bool isValid() const { return !samples.isEmpty(); }
    double median() const {
        if (samples.isEmpty())
            return 0;
        QList<double> sorted = samples;
        std::sort(sorted.begin(), sorted.end());
        const qsizetype middle = sorted.size() / 2;
        return sorted.size() % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
    }
    double minimum() const { return *std::min_element(samples.begin(), samples.end()); }
    double maximum() const { return *std::max_element(samples.begin(), samples.end()); }
    QString text(int decimals) const {
        if (!isValid())
            return QStringLiteral("n/a");
        return QStringLiteral("%1 (%2–%3)")
            .arg(median(), 0, 'f', decimals)
            .arg(minimum(), 0, 'f', decimals)
            .arg(maximum(), 0, 'f', decimals);
    }
};

Figure Collect(const QList<Result> &results, const QString &key) {
    Figure figure;
    for (const Result &result : results)
        if (result.contains(key) && result.value(key) >= 0)
            figure.samples.append(result.value(key));
    return figure;
}

// Runs this program with "--scenario ARGUMENTS" in a process of its own and
// gathers what it printed; empty when it printed nothing or did not finish.
Result RunOnce(const QStringList &arguments, int run, int runs) {
    Err() << "  " << arguments.join(QLatin1Char(' ')) << ", run " << run + 1 << "/" << runs
          << Qt::endl;
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                QStringList{QStringLiteral("--scenario")} + arguments);
    if (!child.waitForFinished(10 * 60 * 1000)) {
        child.kill();
        child.waitForFinished();
        return Result();
    }
    return ReadResult(child.readAllStandardOutput());
}

// One measurement `runs` times, each in a process of its own.
QList<Result> Run(const QStringList &arguments, int runs) {
    QList<Result> results;
    for (int run = 0; run < runs; ++run) {
        const Result result = RunOnce(arguments, run, runs);
        if (!result.isEmpty())
            results.append(result);
    }
    return results;
}

// Two measurements, `runs` times each, in turn, so that whatever else the
// machine does weighs on both alike.
QPair<QList<Result>, QList<Result>> RunInTurn(const QStringList &first, const QStringList &second,
                                              int runs) {
    QPair<QList<Result>, QList<Result>> results;
    for (int run = 0; run < runs; ++run) {
        for (auto [arguments, list] :
             {std::pair(&first, &results.first), std::pair(&second, &results.second)}) {
            const Result result = RunOnce(*arguments, run, runs);
            if (!result.isEmpty())
                list->append(result);
        }
    }
    return results;
}

qint64 MonotonicNs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// From starting the process to its first painted window, in milliseconds.
double StartUpOnce(const QString &program) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("QT_PLUGIN_PATH"), QStringLiteral(TERNIX36_BENCH_PLUGINS));
    environment.insert(QStringLiteral("QT_QPA_GENERIC_PLUGINS"), QStringLiteral("firstpaint"));
    QProcess child;
    child.setProcessEnvironment(environment);
    const qint64 started = MonotonicNs();
    child.start(program, QStringList());
    if (!child.waitForFinished(60 * 1000)) {
        child.kill();
        child.waitForFinished();
        return -1;
    }
    for (const QByteArray &line : child.readAllStandardOutput().split('\n'))
        if (line.startsWith("FIRSTPAINT "))
            return double(line.mid(11).toLongLong() - started) / 1e6;
    return -1;
}

// The program and the bare window, started in turn so that whatever else the
// machine does weighs on both alike.
QPair<Figure, Figure> StartUp(int runs) {
    Figure program, bare;
    for (int run = 0; run < runs; ++run) {
        for (auto [path, figure] : {std::pair(QStringLiteral(TERNIX36_PROGRAM), &program),
                                    std::pair(QStringLiteral(TERNIX36_BARE_WINDOW), &bare)}) {
            const double ms = StartUpOnce(path);
            if (ms >= 0)
                figure->samples.append(ms);
        }
    }
    return {program, bare};
}

QString FirstLineWith(const QString &path, const QString &prefix) {
    // Files in /proc report no size: read them whole rather than line by line.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QStringList lines = QString::fromLocal8Bit(file.readAll()).split(QLatin1Char('\n'));
    for (const QString &line : lines)
        if (line.startsWith(prefix))
            return line.mid(line.indexOf(QLatin1Char(':')) + 1).trimmed();
    return QString();
}

QString Machine() {
    QFile rmem(QStringLiteral("/proc/sys/net/core/rmem_max"));
    const QString rmemMax = rmem.open(QIODevice::ReadOnly)
                                ? QString::fromLatin1(rmem.readAll().trimmed())
                                : QStringLiteral("unknown");
    return QStringLiteral("- CPU: %1, %2 logical cores\n"
                          "- Memory: %3\n"
                          "- System: %4, kernel %5\n"
                          "- Qt %6, %7, build type %8, offscreen platform\n"
                          "- net.core.rmem_max: %9 bytes\n"
                          "- Measured: %10\n")
        .arg(FirstLineWith(QStringLiteral("/proc/cpuinfo"), QStringLiteral("model name")))
        .arg(QThread::idealThreadCount())
        .arg(FirstLineWith(QStringLiteral("/proc/meminfo"), QStringLiteral("MemTotal")))
        .arg(QSysInfo::prettyProductName(), QSysInfo::kernelVersion())
        .arg(QString::fromLatin1(qVersion()), QStringLiteral("compiler " __VERSION__),
             QStringLiteral(TERNIX36_BUILD_TYPE), rmemMax)
        .arg(QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
}

// Runs that say they saw everything through.
qsizetype CompleteRuns(const QList<Result> &results) {
    return std::count_if(results.begin(), results.end(),
                         [](const Result &result) { return result.value("complete") == 1; });
}

struct Goal {
    QString goal;
    QString measured;
    bool pass;
};

QString Row(const QStringList &cells) {
    return QStringLiteral("| ") + cells.join(QStringLiteral(" | ")) + QStringLiteral(" |\n");
}

} // namespace

int RunDriver(int argc, char *argv[]) {
    QCoreApplication application(argc, argv);
    const int runs = qMax(1, qEnvironmentVariableIntValue("BENCH_RUNS") > 0
                                 ? qEnvironmentVariableIntValue("BENCH_RUNS")
                                 : 5);
    QString output = QStringLiteral(TERNIX36_SOURCE_DIR "/docs/performance.md");
    if (argc > 1)
        output = QString::fromLocal8Bit(argv[1]);

    Err() << "Report path" << Qt::endl;
    const QList<int> shown = {10, 1000, 3000};
    const Figure baseline = Collect(Run({QStringLiteral("report-baseline")}, runs), "report_rate");
    QMap<int, Figure> reports;
    // 1,000 panels with the reports recorded in the histories, and not.
    QPair<QList<Result>, QList<Result>> recording;
    for (int panels : shown) {
        const QStringList arguments = {QStringLiteral("report"), QString::number(panels)};
        if (panels != 1000) {
            reports[panels] = Collect(Run(arguments, runs), "report_rate");
            continue;
        }
        recording = RunInTurn(arguments,
                              {QStringLiteral("report-norecord"), QString::number(panels)}, runs);
        reports[panels] = Collect(recording.first, "report_rate");
    }
    const Figure unrecorded = Collect(recording.second, "report_rate");
    const Figure reportsAtTop =
        Collect(Run({QStringLiteral("report-top"), QStringLiteral("3000")}, runs), "report_rate");

    Err() << "Bridge" << Qt::endl;
    const bool bridgeBuilt = !QStringLiteral(TERNIX36_BRIDGE).isEmpty();
    const QList<Result> bridgeResults =
        bridgeBuilt ? Run({QStringLiteral("bridge")}, runs) : QList<Result>();
    const Figure bridge = Collect(bridgeResults, "report_rate");

    Err() << "Discovery" << Qt::endl;
    const QList<int> senders = {100, 1000, 3000};
    QMap<int, QList<Result>> discovery;
    for (int count : senders)
        discovery[count] = Run({QStringLiteral("discovery"), QString::number(count)}, runs);

    // After the window's discovery, so that its 3,000 are measured in this run too.
    Err() << "Bridge discovery" << Qt::endl;
    const QList<Result> bridgeDiscovery =
        bridgeBuilt ? Run({QStringLiteral("bridge-discovery"), QStringLiteral("3000")}, runs)
                    : QList<Result>();

    Err() << "Bridge read-back" << Qt::endl;
    const QList<Result> bridgeReadBack =
        bridgeBuilt ? Run({QStringLiteral("bridge-readback"), QStringLiteral("10000")}, runs)
                    : QList<Result>();

    Err() << "Site" << Qt::endl;
    const QList<Result> siteDiscovery =
        Run({QStringLiteral("site-discovery"), QString::number(SiteNodes)}, runs);
    const QList<Result> siteReports =
        Run({QStringLiteral("site-reports"), QString::number(SiteReports)}, runs);

    Err() << "Burst" << Qt::endl;
    const Figure burst =
        Collect(Run({QStringLiteral("burst"), QStringLiteral("2000")}, runs), "panels");

    Err() << "Find" << Qt::endl;
    const QList<Result> findRuns = Run({QStringLiteral("find"), QStringLiteral("3000")}, runs);
    const Figure findWorst = Collect(findRuns, "worst_ms");

    Err() << "History" << Qt::endl;
    const QList<Result> historyRuns =
        Run({QStringLiteral("history"), QStringLiteral("1000")}, runs);
    const Figure historyHeap = Collect(historyRuns, "heap_per_node_kb");
    const QList<Result> switchingRuns =
        Run({QStringLiteral("history-switching"), QStringLiteral("1000")}, runs);
    const Figure switchingHeap = Collect(switchingRuns, "heap_per_node_kb");

    Err() << "History windows" << Qt::endl;
    const QList<Result> oneWindow =
        Run({QStringLiteral("history-windows"), QStringLiteral("1")}, runs);
    const QList<Result> tenWindows =
        Run({QStringLiteral("history-windows"), QStringLiteral("10")}, runs);
    const Figure oneWindowCost = Collect(oneWindow, "cost_percent");
    const Figure tenWindowsCost = Collect(tenWindows, "cost_percent");

    Err() << "Start-up" << Qt::endl;
    const auto [program, bare] = StartUp(runs * 6);

    // The table of figures.
    QString report;
    report +=
        QStringLiteral("# Performance\n\n"
                       "Written by `make bench` (`bench/`); every figure is the median of "
                       "%1 runs, each in a process of its own, with the smallest and "
                       "largest in brackets. Ratios are of medians measured in the same run.\n\n"
                       "## Machine\n\n")
            .arg(runs);
    report += Machine();

    report += QStringLiteral("\n## Report path\n\nReports per second routed to known panels "
                             "through the real receive socket with no datagram lost, ten of the "
                             "panels reporting (mixed kinds, every report changing what its panel "
                             "shows), spread evenly over the column: with 10 panels all of them "
                             "are in the 800 × 600 window and repainted, with 1,000 and 3,000 "
                             "one is. The 1,000-panel row is measured in turn with the same "
                             "path with reports not recorded in the nodes' histories (the row "
                             "after it). The last row has the ten reporting panels at the top of "
                             "3,000, so that it repaints what the 10-panel row repaints (see "
                             "below for what still grows with the panels there). "
                             "Baseline: a bare `QUdpSocket` that reads one datagram per "
                             "`readyRead()` in the same process set-up.\n\n");
    report += Row({"Shown panels", "Reports/s", "Ratio to baseline"});
    report += Row({"---", "---:", "---:"});
    report += Row({"baseline", baseline.text(0), "1.00"});
    for (int panels : shown) {
        report +=
            Row({QString::number(panels), reports[panels].text(0),
                 QString::number(reports[panels].median() / qMax(1.0, baseline.median()), 'f', 2)});
        if (panels == 1000)
            report +=
                Row({"1000, reports not recorded in the histories", unrecorded.text(0),
                     QString::number(unrecorded.median() / qMax(1.0, baseline.median()), 'f', 2)});
    }
    report += Row({"3000, the ten reporting at the top", reportsAtTop.text(0),
                   QString::number(reportsAtTop.median() / qMax(1.0, baseline.median()), 'f', 2)});
    if (bridgeBuilt) {
        report += Row({"ternix36-bridge: reports turned into MQTT state messages", bridge.text(0),
                       QString::number(bridge.median() / qMax(1.0, baseline.median()), 'f', 2)});
        report += QStringLiteral(
            "\nThe bridge's row: ten nodes of mixed kinds report to `ternix36-bridge` on "
            "loopback, which publishes each report as its node's retained state (QoS 0) to a "
            "local mosquitto; counted are the state messages that `mosquitto_sub` receives, "
            "with at most four rounds of 250 reports not yet received. A run that loses one "
            "report counts as none.\n");
    }

    report +=
        QStringLiteral("\n## Discovery\n\nNew senders, each answering once, sent with at "
                       "most 500 answers outstanding so that none is lost. Time from the first "
                       "answer until every panel is on screen and laid out; longest gap "
                       "between the ticks of a 1 ms timer meanwhile; resident memory added "
                       "per panel.\n\n");
    report += Row({"Senders", "Total s", "Per panel ms", "Longest stall ms", "RSS per panel KB"});
    report += Row({"---", "---:", "---:", "---:", "---:"});
    for (int count : senders) {
        const QList<Result> &results = discovery[count];
        report += Row({QString::number(count), Collect(results, "seconds").text(3),
                       Collect(results, "per_panel_ms").text(3),
                       Collect(results, "worst_stall_ms").text(1),
                       Collect(results, "rss_per_panel_kb").text(1)});
    }
    if (bridgeBuilt) {
        report +=
            Row({"ternix36-bridge: 3000 nodes to MQTT", Collect(bridgeDiscovery, "seconds").text(3),
                 Collect(bridgeDiscovery, "per_node_ms").text(3), "–",
                 Collect(bridgeDiscovery, "rss_per_node_kb").text(1)});
        report += QStringLiteral(
            "\nThe bridge's row: 3,000 new nodes of mixed kinds, each a sender of its own, "
            "answer once to `ternix36-bridge` on loopback, paced as above (the answers of a "
            "round count as in once their states reach the subscriber). Time from the first "
            "answer until `mosquitto_sub` on a local mosquitto has every node's discovery "
            "configs (QoS 1), state (QoS 0) and availability (QoS 1), 12,600 topics in all; "
            "the bridge's resident memory (`VmRSS`) added per node. A run that misses one "
            "topic counts as none.\n");
        report +=
            QStringLiteral("\nRead-back after a restart: 10,000 nodes, each heard once by "
                           "`ternix36-bridge` (`--max-nodes 10000`) on a local mosquitto with its "
                           "default configuration, then silent; the bridge is stopped and started "
                           "again. Time from the start until the subscriber has every node's "
                           "availability `offline` (the first probe's answer window alone is 5 s): "
                           "%1 s, offline in every run: %2 of %3.\n")
                .arg(Collect(bridgeReadBack, "seconds").text(3))
                .arg(std::count_if(
                    bridgeReadBack.begin(), bridgeReadBack.end(),
                    [](const Result &result) { return result.value("complete") == 1; }))
                .arg(runs);
    }

    report +=
        QStringLiteral(
            "\n## Site\n\n"
            "The window in site mode (`--site`) on a private mosquitto on loopback, its "
            "default configuration but for the listener and with nothing kept on disk; the "
            "reports published by another process as a site's bridges publish them (QoS 0, "
            "`ternix36/BRIDGE/LINK/ADDRESS/report`, two bridges of five links each, mixed "
            "kinds).\n\n"
            "Start-up on a site: %1 nodes, a tenth of them on each link, each with its retained "
            "report "
            "in the broker (read back by `mosquitto_sub` before the window starts). Time from "
            "the window's construction, which starts the connection, until every panel is on "
            "screen and laid out; resident memory added per panel, the window's own "
            "included.\n\n"
            "Reports through the broker: %2 reports of ten nodes, one on each link, "
            "published live (not retained) as fast as the publisher's connection takes them, "
            "once the ten panels are on screen. Counted are the reports the window routes to "
            "a panel (`SiteConsole_t::_Routed()`); the rate is what arrived over the time from "
            "the first report published until the last one reached its panel. A run that "
            "loses one report counts as lost.\n\n")
            .arg(QLocale(QLocale::English).toString(SiteNodes),
                 QLocale(QLocale::English).toString(SiteReports));
    report += Row({"Measure", "Figure"});
    report += Row({"---", "---:"});
    report += Row(
        {"Start-up on a site: every panel laid out, s", Collect(siteDiscovery, "seconds").text(3)});
    report +=
        Row({"Start-up on a site: per panel, ms", Collect(siteDiscovery, "per_panel_ms").text(3)});
    report += Row({"Start-up on a site: RSS per panel, KB",
                   Collect(siteDiscovery, "rss_per_panel_kb").text(1)});
    report += Row({"Reports through the broker to their panels, reports/s",
                   Collect(siteReports, "report_rate").text(0)});
    report += Row({"Reports through the broker: runs with none lost",
                   QStringLiteral("%1 of %2").arg(CompleteRuns(siteReports)).arg(runs)});

    report += QStringLiteral(
        "\n## Burst, memory, start-up, find\n\n"
        "Find: three texts typed into the find field over 3,000 panels in the 800 × 600 "
        "window (the second-last panel's name, a text no panel matches, a name in the "
        "middle) and deleted again, 42 keystrokes; each costs the main thread's CPU time "
        "from the key until the window has painted what it changed, scrolling included.\n\n");
    report += Row({"Measure", "Figure"});
    report += Row({"---", "---:"});
    report += Row({"Panels after a burst of 2,000 answers", burst.text(0)});
    report += Row({"Program: start to first painted window, ms", program.text(1)});
    report += Row({"Bare window with the same widgets, ms", bare.text(1)});
    report += Row(
        {"Find among 3,000 panels: longest keystroke until painted, CPU ms", findWorst.text(2)});
    report += Row({"Find among 3,000 panels: median keystroke, CPU ms",
                   Collect(findRuns, "median_ms").text(2)});

    report +=
        QStringLiteral(
            "\n## History\n\n"
            "1,000 node histories (`NodeHistory_t`) of the five kinds in turn, each fed a report "
            "every 5 s for 24 hours of a simulated clock, 17,281 reports a node, the nodes in turn "
            "as a link delivers them; no sockets and no panels. The readings change from one "
            "report to the next; the plugs and blinds keep their state. Memory: what `malloc` "
            "has handed out and not had back (glibc's `mallinfo2()`, its bookkeeping of each "
            "block included) after the day less before the histories were made, per node, the "
            "%1-byte history objects included; beside it, what the rings and the changes of "
            "state hold on the heap by their own count (`_HeapBytes()`). Time: the 17,281,000 "
            "reports recorded, per report, with the reports built beforehand. The report path "
            "with and without recording is in the table above. The switching rows: as many "
            "toggling plugs, each reporting every 5 s and switched every 10 s all day, %2 "
            "changes a node, every one of them kept.\n\n")
            .arg(Collect(historyRuns, "object_bytes").median(), 0, 'f', 0)
            .arg(Collect(switchingRuns, "changes_per_node").median(), 0, 'f', 0);
    report += Row({"Measure", "Figure"});
    report += Row({"---", "---:"});
    report += Row({"History per node after 24 h, malloc, KB", historyHeap.text(2)});
    report += Row({"History per node after 24 h, its rings' own count, KB",
                   Collect(historyRuns, "rings_per_node_kb").text(2)});
    report += Row({"Recording one report, ns", Collect(historyRuns, "ns_per_record").text(1)});
    report += Row(
        {"Switched every 10 s: history per node after 24 h, malloc, KB", switchingHeap.text(2)});
    report += Row({"Switched every 10 s: history per node after 24 h, its own count, KB",
                   Collect(switchingRuns, "rings_per_node_kb").text(2)});
    report += QStringLiteral(
        "\nHistory windows: plugs (three strips each) reporting 5 times a second, routed as the "
        "receive socket routes them, for 10 s without their history windows and 10 s with them "
        "open on the offscreen platform; the difference in the process's CPU time (user and "
        "system), as a share of one core.\n\n");
    report += Row({"Open history windows", "Share of a core, %"});
    report += Row({"---", "---:"});
    report += Row({"1", oneWindowCost.text(2)});
    report += Row({"10", tenWindowsCost.text(2)});

    // The goals.
    const double rate1000 = reports[1000].median() / qMax(1.0, baseline.median());
    const double rate3000 = reports[3000].median() / qMax(1.0, reports[10].median());
    const double perPanel100 = Collect(discovery[100], "per_panel_ms").median();
    const double perPanel3000 = Collect(discovery[3000], "per_panel_ms").median();
    const double seconds1000 = Collect(discovery[1000], "seconds").median();
    double stall = 0;
    for (int count : senders)
        stall = qMax(stall, Collect(discovery[count], "worst_stall_ms").median());
    const double rss = Collect(discovery[1000], "rss_per_panel_kb").median();
    const double startUp = program.median() / qMax(0.001, bare.median());
    const bool allDiscovered = std::all_of(senders.begin(), senders.end(), [&](int count) {
        const Figure complete = Collect(discovery[count], "complete");
        return complete.isValid() && complete.minimum() == 1;
    });

    const bool historyComplete = [&] {
        const Figure complete = Collect(historyRuns, "complete");
        return complete.isValid() && complete.minimum() == 1;
    }();
    // Every change of the day kept, and the day's first ten minutes.
    const bool switchingComplete = [&] {
        const Figure complete = Collect(switchingRuns, "complete");
        return complete.isValid() && complete.minimum() == 1;
    }();
    const double recordingRatio = reports[1000].median() / qMax(1.0, unrecorded.median());
    // Each run's first reporting node has a history with recording, and none without.
    const bool recordedAsSet = Collect(recording.first, "recorded").isValid() &&
                               Collect(recording.first, "recorded").minimum() > 0 &&
                               Collect(recording.second, "recorded").isValid() &&
                               Collect(recording.second, "recorded").maximum() == 0;

    const QList<Goal> goals = {
        {"Report path, 1,000 panels ≥ 0.7 × baseline", QString::number(rate1000, 'f', 2),
         rate1000 >= 0.7},
        {"Report path, 3,000 panels ≥ 0.8 × 10 panels", QString::number(rate3000, 'f', 2),
         rate3000 >= 0.8},
        {"Discovery, per panel at 3,000 ≤ 1.5 × at 100",
         QString::number(perPanel3000 / qMax(0.0001, perPanel100), 'f', 2),
         allDiscovered && perPanel3000 <= 1.5 * perPanel100},
        {"Discovery, 1,000 panels on screen within 1 s",
         QStringLiteral("%1 s").arg(seconds1000, 0, 'f', 3), allDiscovered && seconds1000 <= 1.0},
        {"Discovery, no event-loop stall above 50 ms",
         QStringLiteral("%1 ms").arg(stall, 0, 'f', 1), allDiscovered && stall <= 50},
        {"Burst of 2,000 answers: 2,000 panels in every run",
         burst.isValid() ? QString::number(burst.minimum(), 'f', 0) : QStringLiteral("n/a"),
         burst.isValid() && burst.minimum() == 2000},
        {"RSS ≤ 30 KB per panel (1,000 panels)", QStringLiteral("%1 KB").arg(rss, 0, 'f', 1),
         rss > 0 && rss <= 30},
        {"History, 1,000 nodes reporting every 5 s for 24 h: ≤ 12 KB per node",
         QStringLiteral("%1 KB").arg(historyHeap.median(), 0, 'f', 2),
         historyComplete && historyHeap.median() > 0 && historyHeap.median() <= 12},
        // The day's 8,640 changes at 3 bytes are 25.3 KB, held in a block of 32 KB as the
        // bytes grow by doubling, beside the 12 KB of the row above; a change packed in 4
        // bytes would take a block of 64.
        {"History, a plug switched every 10 s for 24 h, every change kept: ≤ 48 KB per node",
         QStringLiteral("%1 KB").arg(switchingHeap.median(), 0, 'f', 2),
         switchingComplete && switchingHeap.median() > 0 && switchingHeap.median() <= 48},
        {"History window on a node at 5 reports/s ≤ 1 % of a core",
         QStringLiteral("%1 %").arg(oneWindowCost.median(), 0, 'f', 2),
         oneWindowCost.samples.size() == runs && oneWindowCost.median() <= 1},
        {"Ten history windows at 5 reports/s ≤ 5 % of a core",
         QStringLiteral("%1 %").arg(tenWindowsCost.median(), 0, 'f', 2),
         tenWindowsCost.samples.size() == runs && tenWindowsCost.median() <= 5},
        {"Report path with recording ≥ 0.9 × without (1,000 panels, same run)",
         QStringLiteral("%1 (%2 against %3 reports/s)")
             .arg(recordingRatio, 0, 'f', 2)
             .arg(reports[1000].median(), 0, 'f', 0)
             .arg(unrecorded.median(), 0, 'f', 0),
         reports[1000].isValid() && unrecorded.isValid() && recordedAsSet && recordingRatio >= 0.9},
        {"Start-up ≤ 1.2 × bare window", QString::number(startUp, 'f', 2),
         program.isValid() && bare.isValid() && startUp <= 1.2},
        {"Find, every keystroke with 3,000 panels ≤ 16 ms (one frame)",
         QStringLiteral("%1 ms").arg(findWorst.median(), 0, 'f', 2),
         findWorst.isValid() && Collect(findRuns, "complete").minimum() == 1 &&
             findWorst.median() <= 16},
    };
    QList<Goal> allGoals = goals;
    if (bridgeBuilt) {
        const double bridgeRatio = bridge.median() / qMax(1.0, reports[10].median());
        allGoals.append({"Bridge: every report an MQTT state, none lost, in every run",
                         QStringLiteral("%1 of %2 runs; %3 × the window's 10-panel path")
                             .arg(bridge.samples.size())
                             .arg(runs)
                             .arg(bridgeRatio, 0, 'f', 2),
                         bridge.samples.size() == runs});

        const Figure bridgeSeconds = Collect(bridgeDiscovery, "seconds");
        const double windowSeconds = Collect(discovery[3000], "seconds").median();
        const double discoveryRatio = bridgeSeconds.median() / qMax(0.0001, windowSeconds);
        allGoals.append(
            {"Bridge discovery, 3,000 nodes: time ≤ 1.0 × the window's 3,000 panels (same run)",
             QStringLiteral("%1 (%2 s against %3 s)")
                 .arg(discoveryRatio, 0, 'f', 2)
                 .arg(bridgeSeconds.median(), 0, 'f', 3)
                 .arg(windowSeconds, 0, 'f', 3),
             allDiscovered && bridgeSeconds.isValid() && discoveryRatio <= 1.0});
        const qsizetype completeRuns =
            std::count_if(bridgeDiscovery.begin(), bridgeDiscovery.end(),
                          [](const Result &result) { return result.value("complete") == 1; });
        allGoals.append({"Bridge discovery: every node complete in every run",
                         QStringLiteral("%1 of %2 runs").arg(completeRuns).arg(runs),
                         completeRuns == runs});
        const Figure readBack = Collect(bridgeReadBack, "seconds");
        const qsizetype readBackRuns =
            std::count_if(bridgeReadBack.begin(), bridgeReadBack.end(),
                          [](const Result &result) { return result.value("complete") == 1; });
        allGoals.append({"Bridge read-back after a restart, 10,000 nodes: every node offline "
                         "in every run, ≤ 10 s",
                         QStringLiteral("%1 of %2 runs; %3 s at most")
                             .arg(readBackRuns)
                             .arg(runs)
                             .arg(readBack.maximum(), 0, 'f', 3),
                         readBackRuns == runs && readBack.isValid() && readBack.maximum() <= 10});
        const Figure bridgeRss = Collect(bridgeDiscovery, "rss_per_node_kb");
        allGoals.append({"Bridge RSS ≤ 8 KB per node (3,000 nodes)",
                         QStringLiteral("%1 KB").arg(bridgeRss.median(), 0, 'f', 1),
                         bridgeRss.isValid() && bridgeRss.median() > 0 && bridgeRss.median() <= 8});
    }

    const qsizetype siteDiscoveredRuns = CompleteRuns(siteDiscovery);
    const Figure siteSeconds = Collect(siteDiscovery, "seconds");
    const Figure siteRss = Collect(siteDiscovery, "rss_per_panel_kb");
    allGoals.append({"Site: 10,000 nodes (10 links of 1,000) on screen within 5 s of "
                     "connecting, ≤ 30 KB per panel",
                     QStringLiteral("%1 s, %2 KB; every panel in %3 of %4 runs")
                         .arg(siteSeconds.median(), 0, 'f', 3)
                         .arg(siteRss.median(), 0, 'f', 1)
                         .arg(siteDiscoveredRuns)
                         .arg(runs),
                     siteDiscoveredRuns == runs && siteSeconds.median() <= 5 &&
                         siteRss.median() > 0 && siteRss.median() <= 30});
    const qsizetype siteCompleteRuns = CompleteRuns(siteReports);
    const Figure siteRate = Collect(siteReports, "report_rate");
    allGoals.append({"Site: reports through the broker reach their panels at ≥ 6,790/s "
                     "(10 × the medium's 679 frames/s), none lost, in every run",
                     QStringLiteral("%1 reports/s in the slowest run; none lost in %2 of %3 runs")
                         .arg(siteRate.isValid() ? siteRate.minimum() : 0, 0, 'f', 0)
                         .arg(siteCompleteRuns)
                         .arg(runs),
                     siteCompleteRuns == runs && siteRate.samples.size() == runs &&
                         siteRate.minimum() >= 6790});

    QString table = Row({"Goal", "Measured", "Result"}) + Row({"---", "---:", "---"});
    bool allPass = true;
    for (const Goal &goal : std::as_const(allGoals)) {
        table += Row({goal.goal, goal.measured, goal.pass ? "PASS" : "FAIL"});
        allPass = allPass && goal.pass;
    }
    report = report.replace(QStringLiteral("## Machine"), QStringLiteral("## Goals\n\n") + table +
                                                              QStringLiteral("\n## Machine"));

    // What was found and changed, kept by hand beside the benchmark.
    QFile findings(QStringLiteral(TERNIX36_SOURCE_DIR "/bench/findings.md"));
    if (findings.open(QIODevice::ReadOnly))
        report += QStringLiteral("\n") + QString::fromUtf8(findings.readAll());

    QTextStream(stdout) << table << Qt::endl;
    QDir().mkpath(QFileInfo(output).absolutePath());
    QFile file(output);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(report.toUtf8());
        Err() << "Written to " << QFileInfo(output).absoluteFilePath() << Qt::endl;
    }
    return allPass ? 0 : 1;
}

} // namespace Bench
