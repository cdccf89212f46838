// SPDX-License-Identifier: GPL-3.0-or-later
#include "Harness.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QList>
#include <QTextStream>
#include <QTimer>

namespace Bench {

void PrintResult(const QString &line) {
    QTextStream(stdout) << "RESULT " << line << Qt::endl;
}

Result ReadResult(const QByteArray &output) {
    Result result;
    for (const QByteArray &line : output.split('\n')) {
        if (!line.startsWith("RESULT "))
            continue;
        for (const QByteArray &field : line.mid(7).split(' ')) {
            const qsizetype equals = field.indexOf('=');
            if (equals > 0)
                result.insert(QString::fromLatin1(field.left(equals)),
                              field.mid(equals + 1).toDouble());
        }
    }
    return result;
}

bool WaitQuietlyFor(const std::function<bool()> &done, int timeoutMs, int tickMs) {
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.start(tickMs);
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

} // namespace Bench
