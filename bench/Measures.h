// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

class MainWindow_t;

// What the scenarios that show the window read off it and off the process.

namespace Bench {

// Every panel on screen with its place in the column.
bool ColumnLaidOut(MainWindow_t &window, int expected);
// This process's resident memory, from /proc; 0 when it cannot be read.
qint64 ResidentBytes();

} // namespace Bench
