// SPDX-License-Identifier: GPL-3.0-or-later
#include "Broker.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>

namespace Bench {

QString Program(const char *name) {
    return QStandardPaths::findExecutable(QLatin1String(name), {"/usr/sbin", "/usr/bin"});
}

bool WaitFor(const std::function<bool()> &done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

Broker::Broker() {
    {
        QTcpServer free;
        if (free.listen(QHostAddress::LocalHost, 0))
            listenPort = free.serverPort();
    }
    QFile config(work.filePath(QStringLiteral("mosquitto.conf")));
    const QByteArray settings =
        QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence false\n")
            .arg(listenPort)
            .toUtf8();
    if (listenPort == 0 || !work.isValid() || !config.open(QIODevice::WriteOnly) ||
        config.write(settings) != settings.size() || !config.flush())
        return;
    config.close();
    process.start(Program("mosquitto"), {QStringLiteral("-c"), config.fileName()});
    listening = WaitFor(
        [this] {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, listenPort);
            return socket.waitForConnected(100);
        },
        10000);
}

Broker::~Broker() {
    process.kill();
    process.waitForFinished();
}

} // namespace Bench
