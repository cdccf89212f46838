#pragma once

// One measurement, run in a process of its own: prints "RESULT key=value ..."
// lines for the driver.

namespace Bench {

int RunReportBaseline();
int RunReportPath(int panels);
int RunDiscovery(int senders);
int RunBurst(int senders);

} // namespace Bench
