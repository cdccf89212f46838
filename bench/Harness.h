// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

#include <functional>

// What the scenarios and the driver share: the "RESULT key=value ..." lines
// a scenario prints and the driver reads, and a wait that leaves the CPU to
// the other processes of a measurement.

namespace Bench {

using Result = QMap<QString, double>;

void PrintResult(const QString &line);
// Every key=value of the RESULT lines in a scenario's output.
Result ReadResult(const QByteArray &output);

// Runs the event loop, sleeping until something happens or a timer of
// `tickMs` ticks, until `done` or `timeoutMs`; false on the timeout.
bool WaitQuietlyFor(const std::function<bool()> &done, int timeoutMs, int tickMs);

} // namespace Bench
