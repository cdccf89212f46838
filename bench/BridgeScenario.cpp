// SPDX-License-Identifier: GPL-3.0-or-later
// The bridge's rows: ternix36-bridge on loopback, as bridge "bench", with a
// private mosquitto, and what a subscriber (mosquitto_sub) receives from it.
// The report path counts state messages; discovery counts the distinct topics
// of every node found.

#include "Broker.h"
#include "Harness.h"
#include "NodeSenders.h"
#include "Scenarios.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QSet>
#include <QTextStream>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

namespace Bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned BridgeGroup = 0xb1;    // fd00::b1:N, the nodes that report
constexpr unsigned DiscoveryGroup = 0xbd; // fd00::bd:N, nodes heard once
constexpr int Nodes = 10;
// Reports per round, and rounds not yet seen by the subscriber: the bridge
// takes datagrams from the socket long before their states reach it.
constexpr int Round = 250;
constexpr int RoundsInFlight = 4;
constexpr double Seconds = 2.0;
// Answers per round in discovery, two rounds outstanding, as the window's.
constexpr int DiscoveryRoundsInFlight = 2;

const QByteArray BridgeAvailability = "ternix36/bench/availability";

// Sleeping between ticks of 5 ms, the bench takes no CPU from the bridge,
// the broker and the subscriber.
bool WaitQuietlyFor(const std::function<bool()> &done, int timeoutMs) {
    return Bench::WaitQuietlyFor(done, timeoutMs, 5);
}

// The bridge's resident memory from /proc; 0 when it cannot be read.
qint64 ResidentBytes(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    // Files in /proc report no size: read them whole.
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    return 0;
}

// A private mosquitto on a free port, the bridge connected to it, and a
// subscriber whose every output line goes to a handler.
class Rig {
public:
    ~Rig() {
        bridge.terminate();
        bridge.waitForFinished(5000);
        subscriber.kill();
        subscriber.waitForFinished();
    }

    // mosquitto_sub with these arguments after the broker's; each line of its
    // output, without the line break, goes to `line`.
    void subscribe(const QStringList &arguments,
                   const std::function<void(const QByteArray &)> &line) {
        QObject::connect(&subscriber, &QProcess::readyReadStandardOutput, [this, line] {
            pending += subscriber.readAllStandardOutput();
            qsizetype start = 0;
            qsizetype end;
            while ((end = pending.indexOf('\n', start)) >= 0) {
                line(pending.mid(start, end - start));
                start = end + 1;
            }
            pending.remove(0, start);
        });
        subscriber.start(Program("mosquitto_sub"),
                         QStringList{"-h", "127.0.0.1", "-p", QString::number(broker.port())} +
                             arguments);
    }

    void startBridge(const QStringList &arguments) {
        bridge.setStandardErrorFile(QProcess::nullDevice());
        bridge.start(QStringLiteral(TERNIX36_BRIDGE),
                     QStringList{"--interface", "lo", "--bridge-id", "bench", "--broker",
                                 QStringLiteral("mqtt://127.0.0.1:%1").arg(broker.port())} +
                         arguments);
    }

    bool listening() const { return broker.isListening(); }

    QProcess bridge;

private:
    Broker broker;
    QProcess subscriber;
    QByteArray pending;
};

// Every topic the bridge publishes for the nodes fd00::bd:1 ... as the
// discovery scenario sends them: each kind's discovery configs, the state and
// the availability.
QSet<QByteArray> DiscoveryTopics(int nodes) {
    static const QList<QList<QByteArray>> configs = {
        {"switch/%1/switch", "sensor/%1/real_power", "sensor/%1/apparent_power"}, // Plug
        {"switch/%1/switch", "sensor/%1/real_power", "sensor/%1/apparent_power"}, // ADPlug
        {"sensor/%1/temperature", "sensor/%1/brightness", "button/%1/poll"},      // Bright
        {"light/%1/light"},                                                       // Dimmer
        {"cover/%1/cover"},                                                       // Blinds
    };
    QSet<QByteArray> topics;
    for (int i = 0; i < nodes; ++i) {
        const QString address = AddressText(DiscoveryGroup, unsigned(i + 1));
        // Home Assistant's node id: every character but letters, digits and
        // '-' as '_' and its hex code.
        const QString nodeId =
            QStringLiteral("bench__lo__") + QString(address).replace(u':', QStringLiteral("_3a"));
        for (const QByteArray &config : configs[i % KindCount])
            topics.insert("homeassistant/" + QString::fromLatin1(config).arg(nodeId).toLatin1() +
                          "/config");
        const QByteArray node = "ternix36/bench/lo/" + address.toLatin1();
        topics.insert(node + "/state");
        topics.insert(node + "/availability");
    }
    return topics;
}

// What a subscriber has seen of the discovery: each expected topic once.
struct DiscoveryTally {
    explicit DiscoveryTally(int nodes)
        : expected(DiscoveryTopics(nodes)) {}

    // A line of mosquitto_sub -F '%t %l': the topic and the payload's length.
    void take(const QByteArray &line) {
        const qsizetype space = line.lastIndexOf(' ');
        const QByteArray topic = line.left(space);
        const QByteArray length = line.mid(space + 1);
        if (topic == BridgeAvailability) {
            bridgeOnline = length == "6"; // "online", not "offline"
        } else if (!expected.contains(topic) || length == "0") {
            ++unexpected;
        } else if (!seen.contains(topic)) {
            seen.insert(topic);
            sinceNewTopic.restart();
            if (topic.endsWith("/state"))
                ++states;
        }
    }
    bool allIn() const { return seen.size() == expected.size(); }

    const QSet<QByteArray> expected;
    QSet<QByteArray> seen;
    // Read by the sender's thread.
    std::atomic<qint64> states{0};
    qint64 unexpected = 0;
    bool bridgeOnline = false;
    QElapsedTimer sinceNewTopic;
};

// As the window's discovery: each answer from a sender of its own, in rounds,
// the next round once the one before the last is in; here once its states
// are at the subscriber, the last of what the bridge publishes for an answer.
void SendAnswers(int nodes, const std::atomic<qint64> &states, std::atomic<bool> &gaveUp) {
    for (int i = 0, round = 0; i < nodes; ++round) {
        const qint64 allowed = qint64(round - DiscoveryRoundsInFlight + 1) * Round;
        const auto deadline = Clock::now() + std::chrono::seconds(30);
        while (states.load() < allowed) {
            if (Clock::now() > deadline) {
                gaveUp = true;
                return;
            }
            // Two cores: a spinning sender would slow the bridge down.
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        for (int n = 0; n < Round && i < nodes; ++n, ++i)
            Sender(DiscoveryGroup, unsigned(i + 1))
                .send(Report(Kind(i % KindCount), 0, "node " + QByteArray::number(i)));
    }
}

} // namespace

int RunBridge() {
    Rig rig;
    // Counts the state messages; the bridge's own availability says that both
    // it and the subscriber are connected.
    std::atomic<qint64> states{0};
    bool bridgeOnline = false;
    rig.subscribe(
        {"-v", "-t", "ternix36/bench/+/+/state", "-t", QString::fromLatin1(BridgeAvailability)},
        [&](const QByteArray &line) {
            if (line == BridgeAvailability + " online")
                bridgeOnline = true;
            else if (!line.startsWith(BridgeAvailability + ' '))
                ++states;
        });
    rig.startBridge({"--probe-every", "86400"});
    const bool ready = rig.listening() && WaitFor([&] { return bridgeOnline; }, 10000);

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
    PrintResult(QStringLiteral("report_rate=%1").arg(rate, 0, 'f', 0));
    return 0;
}

int RunBridgeDiscovery(int nodes) {
    if (nodes < 1) {
        QTextStream(stderr) << "bridge-discovery: give the number of nodes" << Qt::endl;
        return 2;
    }
    Rig rig;
    DiscoveryTally tally(nodes);
    // Topics only, and the payload's length: the configs add up to megabytes.
    rig.subscribe({"-F", "%t %l", "-t", QString::fromLatin1(BridgeAvailability), "-t",
                   "ternix36/bench/+/+/state", "-t", "ternix36/bench/+/+/availability", "-t",
                   "homeassistant/+/+/+/config"},
                  [&tally](const QByteArray &line) { tally.take(line); });
    rig.startBridge({"--probe-every", "86400"});
    const bool ready = rig.listening() && WaitFor([&] { return tally.bridgeOnline; }, 10000);
    // Past the bridge's start-up, before the first answer.
    WaitQuietlyFor([] { return false; }, 200);
    const qint64 residentBefore = ResidentBytes(rig.bridge.processId());
    const quint64 dropsBefore = ReceiveBufferErrors();

    Clock::time_point firstSent;
    std::atomic<bool> gaveUp{false};
    tally.sinceNewTopic.start();
    std::thread sender([&] {
        firstSent = Clock::now();
        if (ready)
            SendAnswers(nodes, tally.states, gaveUp);
    });
    // Until every topic is in, or nothing new came for 10 s (one is lost).
    if (ready)
        WaitQuietlyFor(
            [&] { return gaveUp.load() || tally.allIn() || tally.sinceNewTopic.elapsed() > 10000; },
            120000);
    const auto done = Clock::now();
    sender.join();
    const double seconds = std::chrono::duration<double>(done - firstSent).count();
    // What the bridge keeps, once the last acknowledgements are in.
    WaitQuietlyFor([] { return false; }, 200);
    const qint64 residentAfter = ResidentBytes(rig.bridge.processId());
    const double residentPerNode = residentBefore > 0 && residentAfter > 0
                                       ? double(residentAfter - residentBefore) / 1024 / nodes
                                       : -1;
    const bool complete =
        ready && tally.allIn() && tally.unexpected == 0 && ReceiveBufferErrors() == dropsBefore;

    PrintResult(QStringLiteral("nodes=%1 complete=%2 topics=%3 expected_topics=%4 seconds=%5 "
                               "per_node_ms=%6 rss_per_node_kb=%7")
                    .arg(nodes)
                    .arg(complete ? 1 : 0)
                    .arg(tally.seen.size())
                    .arg(tally.expected.size())
                    .arg(complete ? seconds : -1, 0, 'f', 4)
                    .arg(complete ? seconds * 1000 / nodes : -1, 0, 'f', 4)
                    .arg(residentPerNode, 0, 'f', 2));
    return 0;
}

int RunBridgeReadBack(int nodes) {
    if (nodes < 1) {
        QTextStream(stderr) << "bridge-readback: give the number of nodes" << Qt::endl;
        return 2;
    }
    Rig rig;
    // Each node's availability as the subscriber saw it last.
    QHash<QByteArray, QByteArray> availability;
    // Read by the sender's thread.
    std::atomic<int> online{0};
    int offline = 0;
    bool bridgeOnline = false;
    rig.subscribe({"-F", "%t %p", "-t", QString::fromLatin1(BridgeAvailability), "-t",
                   "ternix36/bench/+/+/availability"},
                  [&](const QByteArray &line) {
                      const qsizetype space = line.lastIndexOf(' ');
                      const QByteArray topic = line.left(space);
                      const QByteArray payload = line.mid(space + 1);
                      if (topic == BridgeAvailability) {
                          bridgeOnline = payload == "online";
                          return;
                      }
                      QByteArray &last = availability[topic];
                      online += (payload == "online") - (last == "online");
                      offline += (payload == "offline") - (last == "offline");
                      last = payload;
                  });
    const QStringList arguments = {"--probe-every", "86400", "--max-nodes", QString::number(nodes)};
    rig.startBridge(arguments);
    bool ready = rig.listening() && WaitFor([&] { return bridgeOnline; }, 10000);
    // Every node heard once, as in discovery, then silent.
    std::atomic<bool> gaveUp{false};
    std::thread sender([&] {
        if (!ready)
            return;
        for (int i = 0; i < nodes && !gaveUp.load(); ++i) {
            Sender(DiscoveryGroup, unsigned(i + 1))
                .send(Report(Kind(i % KindCount), 0, "node " + QByteArray::number(i)));
            // Paced by what the subscriber has seen, as the discovery rounds are.
            while (i + 1 - Round > online.load() && !gaveUp.load())
                std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    });
    ready = ready && WaitQuietlyFor([&] { return online == nodes; }, 120000);
    gaveUp = true;
    sender.join();

    // A restart: the first probe's window closes 5 s after the start, and
    // then every node must be offline.
    rig.bridge.terminate();
    ready = ready && rig.bridge.waitForFinished(10000) &&
            WaitQuietlyFor([&] { return !bridgeOnline; }, 10000);
    const Clock::time_point restart = Clock::now();
    rig.startBridge(arguments);
    const bool complete = ready && WaitQuietlyFor([&] { return offline == nodes; }, 60000);
    const double seconds = std::chrono::duration<double>(Clock::now() - restart).count();
    PrintResult(QStringLiteral("nodes=%1 complete=%2 offline=%3 seconds=%4")
                    .arg(nodes)
                    .arg(complete ? 1 : 0)
                    .arg(offline)
                    .arg(complete ? seconds : -1, 0, 'f', 3));
    return 0;
}

} // namespace Bench
