// SPDX-License-Identifier: GPL-3.0-or-later
#include "mqtt/Log.h"

#include <cstdio>

namespace Log {

void _Write(Priority priority, const QString &text) {
    // A line break inside would start a line of the default priority.
    QString line = text;
    line.replace(u'\n', u' ');
    std::fprintf(stderr, "<%d>%s\n", int(priority), line.toUtf8().constData());
    std::fflush(stderr);
}

} // namespace Log
