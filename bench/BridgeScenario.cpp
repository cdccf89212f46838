// SPDX-License-Identifier: GPL-3.0-or-later
// The bridge's report path: reports from ten nodes through ternix36-bridge to
// a local mosquitto, counted as the state messages a subscriber receives.

#include "NodeSenders.h"
#include "Scenarios.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextStream>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace Bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned BridgeGroup = 0xb1; // fd00::b1:N
constexpr int Nodes = 10;
// Reports per round, and rounds not yet seen by the subscriber: the bridge
// takes datagrams from the socket long before their states reach it.
constexpr int Round = 250;
constexpr int RoundsInFlight = 4;
constexpr double Seconds = 2.0;

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

} // namespace

int RunBridge() {
    QTemporaryDir work;
    quint16 port = 0;
    {
        QTcpServer free;
        free.listen(QHostAddress::LocalHost, 0);
        port = free.serverPort();
    }
    QFile config(work.filePath(QStringLiteral("mosquitto.conf")));
    config.open(QIODevice::WriteOnly);
    config.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence false\n")
                     .arg(port)
                     .toUtf8());
    config.close();

    QProcess broker;
    broker.start(Program("mosquitto"), {QStringLiteral("-c"), config.fileName()});
    const bool listening = WaitFor(
        [&] {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, port);
            return socket.waitForConnected(100);
        },
        10000);

    // Counts the state messages; the bridge's own availability says that both
    // it and the subscriber are connected.
    QProcess subscriber;
    std::atomic<qint64> states{0};
    bool bridgeOnline = false;
    QByteArray pending;
    QObject::connect(&subscriber, &QProcess::readyReadStandardOutput, [&] {
        pending += subscriber.readAllStandardOutput();
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            if (pending.startsWith("ternix36/bridge/availability online"))
                bridgeOnline = true;
            else
                ++states;
            pending.remove(0, end + 1);
        }
    });
    subscriber.start(Program("mosquitto_sub"),
                     {"-h", "127.0.0.1", "-p", QString::number(port), "-v", "-t",
                      "ternix36/+/state", "-t", "ternix36/bridge/availability"});
    QProcess bridge;
    bridge.setStandardErrorFile(QProcess::nullDevice());
    bridge.start(QStringLiteral(TERNIX36_BRIDGE),
                 {"--interface", "lo", "--broker", QStringLiteral("mqtt://127.0.0.1:%1").arg(port),
                  "--probe-every", "86400"});
    const bool ready = listening && WaitFor([&] { return bridgeOnline; }, 10000);

    std::vector<Sender> nodes;
    for (int i = 0; i < Nodes; ++i)
        nodes.emplace_back(BridgeGroup, unsigned(i + 1));
    const auto report = [](int node, int n) {
        return Report(Kind(node % KindCount), unsigned(n), "node " + QByteArray::number(node));
    };
    // Every node known before the clock starts.
    for (int i = 0; i < Nodes; ++i)
        nodes[size_t(i)].send(report(i, 0));
    const bool found = ready && WaitFor([&] { return states.load() >= Nodes; }, 10000);

    double rate = -1;
    if (found) {
        const qint64 before = states.load();
        const quint64 dropsBefore = ReceiveBufferErrors();
        std::atomic<qint64> sent{0};
        std::atomic<bool> lost{false};
        const Clock::time_point start = Clock::now();
        std::thread sender([&] {
            const auto stop = start + std::chrono::duration<double>(Seconds);
            for (int round = 0; Clock::now() < stop; ++round) {
                const qint64 allowed = qint64(round - RoundsInFlight + 1) * Round;
                const auto deadline = Clock::now() + std::chrono::seconds(10);
                while (states.load() - before < allowed) {
                    if (Clock::now() > deadline) {
                        lost = true;
                        return;
                    }
                    std::this_thread::yield();
                }
                for (int i = 0; i < Round; ++i, ++sent)
                    nodes[size_t(sent % Nodes)].send(report(int(sent % Nodes), int(sent)));
            }
        });
        // Until every report is a state message, or the sender gave up.
        QElapsedTimer overall;
        overall.start();
        while (overall.elapsed() < 60000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            if (lost.load())
                break;
            if (sent.load() > 0 && states.load() - before == sent.load() &&
                Clock::now() > start + std::chrono::duration<double>(Seconds))
                break;
        }
        const Clock::time_point last = Clock::now();
        sender.join();
        const bool complete = !lost.load() && states.load() - before == sent.load() &&
                              ReceiveBufferErrors() == dropsBefore;
        if (complete)
            rate = double(sent.load()) / std::chrono::duration<double>(last - start).count();
    }

    bridge.terminate();
    bridge.waitForFinished(5000);
    subscriber.kill();
    subscriber.waitForFinished();
    broker.kill();
    broker.waitForFinished();
    QTextStream(stdout) << "RESULT report_rate=" << QString::number(rate, 'f', 0) << Qt::endl;
    return 0;
}

} // namespace Bench
