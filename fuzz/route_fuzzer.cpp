// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: datagrams from a handful of senders through
// _RouteDatagram, with the operator's actions on the panels in between.

#include "app/MainWindow.h"
#include "fuzz/RouteHarness.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

namespace {
// Panels warn about nothing; Qt's own warnings (a send to the null address)
// would only slow the run down.
void _QuietHandler(QtMsgType type, const QMessageLogContext &, const QString &message) {
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
        std::abort();
    }
}
// One panel of every kind, each button pressed, once before the run: Qt's
// one-time set-up (fonts, styles) then happens outside every input, where the
// leak check would take it for a leak of that input. The steps are those of
// fuzz/RouteHarness.h.
void _WarmUp() {
    const quint16 kinds[] = {0x0110, 0x0111, 0x0120, 0x0121, 0x0130};
    const char senders[] = {0, 2, 3, 4, 5}; // five different nodes
    QByteArray steps;
    for (int i = 0; i < 5; ++i) {
        const QByteArray report = QByteArray("\xC0", 1) + char(kinds[i] & 0xFF) +
                                  char(kinds[i] >> 8) + QByteArray("\x00\x05Alpha", 7);
        steps += char(0) + QByteArray(1, senders[i]) + char(report.size()) + char(0) + report;
    }
    for (char panel = 0; panel < 5; ++panel)
        for (char button = 0; button < 2; ++button)
            steps += QByteArray(1, 3) + panel + button;
    for (char panel = 0; panel < 5; ++panel) {
        steps += QByteArray(1, 4) + panel + char(50) + char(0) + char(1);       // slider 50, tick
        steps += QByteArray(1, 5) + panel + char(0) + char(1) + char(2) + "12"; // type "12"
    }
    steps += char(7); // pending events
    _PlayRouteInput(reinterpret_cast<const uint8_t *>(steps.constData()), size_t(steps.size()));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    // Panels send commands: only where nothing can leave the machine.
    if (!qEnvironmentVariableIsSet("TERNIX36_TEST_NETNS")) {
        std::fprintf(stderr, "fuzz_route: run me through tests/isolated.sh (see fuzz/README.md)\n");
        std::exit(2);
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!qEnvironmentVariableIsSet("TERNIX36_FUZZ_VERBOSE"))
        qInstallMessageHandler(_QuietHandler);
    static int argc = 1;
    static char name[] = "fuzz_route";
    static char *argv[] = {name, nullptr};
    // Both live until the process ends; destroying them from the exit handlers
    // would run Qt's teardown after parts of Qt are already gone.
    new QApplication(argc, argv);
    (new MainWindow_t)->show();
    _WarmUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString problem = _PlayRouteInput(data, size);
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "fuzz_route: %s\n", qPrintable(problem));
        std::abort();
    }
    return 0;
}
