// SPDX-License-Identifier: GPL-3.0-or-later
// The window's site mode: a private mosquitto, reports published into it by
// another process as a site's bridges publish them, and the window reading
// them through its console. Two bridges of five links each.

#include "Broker.h"
#include "Harness.h"
#include "Measures.h"
#include "NodeSenders.h"
#include "Scenarios.h"
#include "app/MainWindow.h"
#include "app/SiteConsole.h"
#include "app/SiteOptions.h"
#include "mqtt/MqttClient.h"
#include "protocol/SiteReport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QProcess>
#include <QSet>
#include <QTextStream>
#include <QTimer>

#include <memory>

#include <time.h>

namespace Bench {
namespace {

constexpr int LinksPerBridge = 5;
constexpr int Links = 2 * LinksPerBridge;
const QString ReportPattern = QStringLiteral("ternix36/+/+/+/report");

qint64 MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// The site's node `node`, on link node % Links: bench1/lan0 ... bench2/lan4.
QString ReportTopic(int node) {
    const int link = node % Links;
    return QStringLiteral("ternix36/bench%1/lan%2/fe80::%3:%4/report")
        .arg(link / LinksPerBridge + 1)
        .arg(link % LinksPerBridge)
        .arg(link + 1, 0, 16)
        .arg(node / Links + 1, 0, 16);
}

// Each node of its own kind in turn; readings that change with `variant`.
QByteArray ReportPayload(int node, unsigned variant) {
    const QByteArray datagram =
        Report(Kind(node % KindCount), variant, "node " + QByteArray::number(node));
    return SiteReport_t{QDateTime::currentMSecsSinceEpoch(), datagram}._Payload();
}

// Sleeping between ticks of 1 ms: the broker and the publisher have the
// other core.
bool WaitQuietlyFor(const std::function<bool()> &done, int timeoutMs) {
    return Bench::WaitQuietlyFor(done, timeoutMs, 1);
}

// This program as the publisher (RunSitePublish) in a process of its own.
class Publisher {
public:
    Publisher(quint16 port, const QStringList &arguments) {
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QCoreApplication::applicationFilePath(),
                      QStringList{"--scenario", "site-publish", QString::number(port)} + arguments);
    }
    ~Publisher() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }
    bool isFinished() const { return process.state() == QProcess::NotRunning; }
    // What it printed on success, key by key; empty when it failed.
    Result result() {
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
            return {};
        return ReadResult(process.readAllStandardOutput());
    }

private:
    QProcess process;
};

// One retained report of each of `nodes` nodes; true once the broker keeps
// them all, as a subscriber of its own reads them back.
bool PublishRetained(const Broker &broker, int nodes) {
    Publisher publisher(broker.port(), {"retained", QString::number(nodes)});
    if (!WaitQuietlyFor([&] { return publisher.isFinished(); }, 60000) ||
        publisher.result().value(QStringLiteral("published")) != nodes)
        return false;
    QProcess reader;
    reader.start(Program("mosquitto_sub"),
                 {"-h", "127.0.0.1", "-p", QString::number(broker.port()), "-t", ReportPattern,
                  "--retained-only", "-C", QString::number(nodes), "-W", "30", "-F", "%t"});
    if (!reader.waitForFinished(40000) || reader.exitCode() != 0)
        return false;
    QSet<QByteArray> topics;
    for (const QByteArray &topic : reader.readAllStandardOutput().split('\n'))
        if (!topic.isEmpty())
            topics.insert(topic);
    return topics.size() == nodes;
}

std::unique_ptr<MainWindow_t> SiteWindow(const Broker &broker) {
    SiteOptions_t options;
    QString error;
    if (SiteOptions_t::_Parse({"ternix36-control", "--site",
                               QStringLiteral("mqtt://127.0.0.1:%1").arg(broker.port())},
                              &options, &error) != SiteOptions_t::Parsed_t::SiteMode) {
        QTextStream(stderr) << "site options: " << error << Qt::endl;
        return nullptr;
    }
    auto window = std::make_unique<MainWindow_t>(options);
    window->resize(800, 600);
    window->show();
    return window;
}

} // namespace

int RunSitePublish(const QStringList &arguments) {
    const quint16 port = arguments.value(0).toUShort();
    const bool retained = arguments.value(1) == QLatin1String("retained");
    const int nodes = arguments.value(2).toInt();
    const int count = retained ? nodes : arguments.value(3).toInt();
    // Reports a second; none given, as fast as the connection takes them.
    const double rate = retained ? 0 : arguments.value(4).toDouble();
    if (port == 0 || nodes < 1 || count < 1 || rate < 0) {
        QTextStream(stderr) << "site-publish: PORT retained NODES | PORT live NODES COUNT [RATE]"
                            << Qt::endl;
        return 2;
    }
    MqttClient_t::Settings_t settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = port;
    settings.clientId = QStringLiteral("bench-publisher");
    MqttClient_t client(settings);

    // At QoS 0 as a bridge publishes: on a 1 ms timer as many as are due, or
    // all at once without a rate.
    int sent = 0;
    qint64 firstNs = 0;
    qint64 lastNs = 0;
    QElapsedTimer since;
    QTimer pace;
    pace.setTimerType(Qt::PreciseTimer);
    QObject::connect(&pace, &QTimer::timeout, [&] {
        const qint64 due =
            rate == 0 ? count : qMin<qint64>(count, qint64(since.nsecsElapsed() * rate / 1e9));
        if (sent >= due)
            return;
        if (sent == 0)
            firstNs = MonotonicNs();
        for (; sent < due; ++sent)
            client._Publish(ReportTopic(sent % nodes), ReportPayload(sent % nodes, unsigned(sent)),
                            retained, 0);
        lastNs = MonotonicNs();
    });
    QObject::connect(&client, &MqttClient_t::connectedToBroker, [&] {
        since.start();
        pace.start(1);
    });
    bool backlogged = false;
    QObject::connect(&client, &MqttClient_t::backlogChanged,
                     [&](bool waiting) { backlogged = waiting; });
    bool stopped = false;
    QObject::connect(&client, &MqttClient_t::stopped, [&] { stopped = true; });
    QString error;
    if (!client._Start(&error)) {
        QTextStream(stderr) << "site-publish: " << error << Qt::endl;
        return 1;
    }
    // The broker takes a connection's packets in order: once a message of our
    // own that follows the reports is back, it has taken every report.
    const QString closing = QStringLiteral("bench/published");
    bool closed = false;
    QObject::connect(&client, &MqttClient_t::messageReceived,
                     [&](const QString &topic) { closed = closed || topic == closing; });
    bool published = WaitQuietlyFor(
        [&] { return sent == count && !backlogged && client._IsConnected(); }, 120000);
    pace.stop();
    if (published) {
        client._Subscribe(closing, 1);
        client._Publish(closing, "done", false, 1);
        published = WaitQuietlyFor([&] { return closed; }, 60000);
    }
    client._Stop();
    if (!WaitQuietlyFor([&] { return stopped; }, 10000) || !published)
        return 1;
    PrintResult(
        QStringLiteral("published=%1 first_ns=%2 last_ns=%3").arg(sent).arg(firstNs).arg(lastNs));
    return 0;
}

int RunSiteDiscovery(int nodes) {
    // The window's site module, in the build folder.
    QCoreApplication::addLibraryPath(QStringLiteral(TERNIX36_MODULE_BUILD_DIR));
    if (nodes < 1) {
        QTextStream(stderr) << "site-discovery: give the number of nodes" << Qt::endl;
        return 2;
    }
    Broker broker;
    const bool stored = broker.isListening() && PublishRetained(broker, nodes);
    // The window's own memory counts too: it is made within the measurement.
    const qint64 residentBefore = ResidentBytes();
    const qint64 startNs = MonotonicNs();
    std::unique_ptr<MainWindow_t> window = stored ? SiteWindow(broker) : nullptr;
    const bool complete =
        window && WaitQuietlyFor([&] { return ColumnLaidOut(*window, nodes); }, 120000);
    const double seconds = complete ? double(MonotonicNs() - startNs) / 1e9 : -1;
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();
    const qint64 residentAfter = ResidentBytes();

    PrintResult(QStringLiteral("nodes=%1 stored=%2 complete=%3 routed=%4 dropped=%5 seconds=%6 "
                               "per_panel_ms=%7 rss_per_panel_kb=%8")
                    .arg(nodes)
                    .arg(stored ? 1 : 0)
                    .arg(complete ? 1 : 0)
                    .arg(window ? window->_Site()->_Routed() : -1)
                    .arg(window ? window->_Site()->_Dropped() : -1)
                    .arg(seconds, 0, 'f', 4)
                    .arg(complete ? seconds * 1000 / nodes : -1, 0, 'f', 4)
                    .arg(double(residentAfter - residentBefore) / 1024 / nodes, 0, 'f', 2));
    return 0;
}

int RunSiteReports(int count, int rate) {
    // The window's site module, in the build folder.
    QCoreApplication::addLibraryPath(QStringLiteral(TERNIX36_MODULE_BUILD_DIR));
    if (count < 1 || rate < 0) {
        QTextStream(stderr) << "site-reports: give the number of reports" << Qt::endl;
        return 2;
    }
    // One node on each link, its panel made by its retained report.
    constexpr int Nodes = Links;
    Broker broker;
    const bool stored = broker.isListening() && PublishRetained(broker, Nodes);
    std::unique_ptr<MainWindow_t> window = stored ? SiteWindow(broker) : nullptr;
    const bool ready =
        window && WaitQuietlyFor([&] { return ColumnLaidOut(*window, Nodes); }, 10000);

    qint64 published = 0;
    qint64 delivered = 0;
    qint64 dropped = 0;
    double seconds = -1;
    if (ready) {
        for (int i = 0; i < 20; ++i)
            QCoreApplication::processEvents();
        SiteConsole_t *site = window->_Site();
        const qint64 routedBefore = site->_Routed();
        const qint64 droppedBefore = site->_Dropped();
        Publisher publisher(broker.port(), {"live", QString::number(Nodes), QString::number(count),
                                            QString::number(rate)});
        // Until every report is in, or none came for 3 s after the publisher finished.
        qint64 lastDeliveredNs = 0;
        QElapsedTimer quiet;
        quiet.start();
        WaitQuietlyFor(
            [&] {
                if (site->_Routed() - routedBefore != delivered) {
                    delivered = site->_Routed() - routedBefore;
                    lastDeliveredNs = MonotonicNs();
                    quiet.restart();
                }
                return delivered >= count || (publisher.isFinished() && quiet.elapsed() > 3000);
            },
            120000);
        WaitQuietlyFor([&] { return publisher.isFinished(); }, 10000);
        const Result result = publisher.result();
        published = qint64(result.value(QStringLiteral("published")));
        dropped = site->_Dropped() - droppedBefore;
        if (published > 0)
            seconds = (double(lastDeliveredNs) - result.value(QStringLiteral("first_ns"))) / 1e9;
    }
    const bool complete = published == count && delivered == published && dropped == 0;
    PrintResult(QStringLiteral("published=%1 delivered=%2 dropped=%3 complete=%4 seconds=%5 "
                               "report_rate=%6")
                    .arg(published)
                    .arg(delivered)
                    .arg(dropped)
                    .arg(complete ? 1 : 0)
                    .arg(seconds, 0, 'f', 4)
                    .arg(seconds > 0 ? double(delivered) / seconds : -1, 0, 'f', 0));
    return 0;
}

} // namespace Bench
