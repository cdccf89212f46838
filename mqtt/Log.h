// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// One line on stderr with a syslog priority prefix ("<4>..."), which journald
// reads as the line's priority when the bridge runs as a service.
namespace Log {

enum Priority { Error = 3, Warning = 4, Notice = 5, Info = 6, Debug = 7 };

void _Write(Priority priority, const QString &text);

} // namespace Log
