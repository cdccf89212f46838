// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

// One measurement, run in a process of its own: prints "RESULT key=value ..."
// lines for the driver.

namespace Bench {

int RunReportBaseline();
// The ten reporting panels spread over the column, or the first ten (all in
// view, as with ten panels); with or without recording each report in its
// node's history.
int RunReportPath(int panels, bool reportersAtTop, bool recordHistory);
int RunDiscovery(int senders);
int RunBurst(int senders);
// Typing into the find field over this many panels: the longest keystroke.
int RunFind(int panels);
// Reports through ternix36-bridge to a local broker, as state messages.
int RunBridge();
// This many new nodes answering once through ternix36-bridge, paced as the
// window's discovery: until every node's configs, state and availability are
// at a subscriber.
int RunBridgeDiscovery(int nodes);
// This many nodes heard once by ternix36-bridge, then silent; the bridge
// restarted: until the subscriber has every node offline.
int RunBridgeReadBack(int nodes);
// A report every 5 s from each of this many nodes for a day of simulated
// time, into their histories: the heap they hold, the time per report.
int RunHistory(int nodes);
// As RunHistory, this many toggling plugs switched every 10 s all day: the
// heap their histories hold with every change kept.
int RunHistorySwitching(int nodes);
// This many plugs reporting 5 times a second, with and without their history
// windows open: the share of a core that the windows cost.
int RunHistoryWindows(int windows);

// This many nodes, each with a retained report in a private broker before the
// window in site mode connects to it: until every panel is laid out.
int RunSiteDiscovery(int nodes);
// `count` reports of ten nodes published live by another process at `rate` a
// second: how many reach their panels, and how fast.
int RunSiteReports(int count, int rate);
// The publisher of those two, in a process of its own: as a site's bridges,
// into the broker on 127.0.0.1 at the port that the arguments begin with.
int RunSitePublish(const QStringList &arguments);

} // namespace Bench
