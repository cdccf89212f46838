// SPDX-License-Identifier: GPL-3.0-or-later
// The history windows' row: what it costs to keep history windows open on
// nodes that report 5 times a second, as the process's CPU time.

#include "NodeSenders.h"
#include "Scenarios.h"

#include "app/MainWindow.h"
#include "panels/ItemView.h"
#include "protocol/NodeMap.h"
#include "protocol/Route.h"

#include <QApplication>
#include <QEventLoop>
#include <QTextStream>
#include <QTimer>

#include <sys/resource.h>

namespace Bench {
namespace {

constexpr unsigned WindowGroup = 0x4e; // fd00::4e:N
constexpr int ReportEveryMs = 200;
constexpr qint64 PhaseMs = 10000;

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// As the program runs: asleep until something happens.
void RunEventsFor(qint64 ms) {
    QEventLoop loop;
    QTimer::singleShot(int(ms), &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int RunHistoryWindows(int windows) {
    if (windows <= 0)
        windows = 1;
    // The module beside the program in the build folder.
    QCoreApplication::addLibraryPath(QStringLiteral(TERNIX36_MODULE_BUILD_DIR));
    MainWindow_t window;
    window.resize(800, 600);
    window.show();
    RunEventsFor(300);

    // Plugs: three strips each, the most a window draws.
    QList<QHostAddress> nodes;
    for (int i = 0; i < windows; ++i) {
        nodes.append(QHostAddress(AddressText(WindowGroup, unsigned(i + 1))));
        _RouteDatagram(nodes.last(), Report(Kind::Plug, 0, "node " + QByteArray::number(i)));
    }
    // Each node reports 5 times a second, routed as the receive socket routes,
    // readings changing every time.
    unsigned variant = 0;
    QTimer reports;
    reports.setInterval(ReportEveryMs);
    QObject::connect(&reports, &QTimer::timeout, [&] {
        ++variant;
        for (const QHostAddress &node : std::as_const(nodes))
            _RouteDatagram(node, Report(Kind::Plug, variant, "node"));
    });
    reports.start();
    RunEventsFor(1000);

    // The same reports without windows, then with them open.
    const auto phase = [&] {
        const double before = CpuSeconds();
        RunEventsFor(PhaseMs);
        return (CpuSeconds() - before) * 1000 / PhaseMs;
    };
    const double without = phase();
    for (const QHostAddress &node : std::as_const(nodes))
        NodeMap.value(_NodeKey(node))->_ShowHistory();
    RunEventsFor(1000);
    bool open = true;
    for (const QHostAddress &node : std::as_const(nodes))
        open = open && NodeMap.value(_NodeKey(node))->_HistoryWindow() &&
               NodeMap.value(_NodeKey(node))->_HistoryWindow()->isVisible();
    const double with = phase();

    QTextStream(stdout) << "RESULT "
                        << QStringLiteral("windows=%1 open=%2 without_percent=%3 with_percent=%4 "
                                          "cost_percent=%5")
                               .arg(windows)
                               .arg(open ? 1 : 0)
                               .arg(without * 100, 0, 'f', 2)
                               .arg(with * 100, 0, 'f', 2)
                               .arg(open ? (with - without) * 100 : -1, 0, 'f', 2)
                        << Qt::endl;
    return 0;
}

} // namespace Bench
