// SPDX-License-Identifier: GPL-3.0-or-later
#include "Scenarios.h"
#include "Harness.h"

#include "Measures.h"
#include "NodeSenders.h"
#include "app/FindField.h"
#include "app/MainWindow.h"
#include "panels/ItemView.h"
#include "protocol/NodeMap.h"
#include "protocol/Route.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTextStream>
#include <QTimer>
#include <QUdpSocket>

#include <atomic>
#include <chrono>
#include <thread>

#include <time.h>

namespace Bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned ReportGroup = 0xa;    // fd00::a:N, the nodes that report
constexpr unsigned DiscoveryGroup = 0xd; // fd00::d:N, nodes heard once
constexpr unsigned MarkerGroup = 0xee;   // fd00::ee:1, the flow-control marker
constexpr int Round = 250;               // datagrams per round; two rounds in flight
constexpr int ReportingPanels = 10;

std::atomic<qint64> markerSeen{-1};

// A marker datagram carries a round number; whoever receives it records it.
QByteArray Marker(qint64 round) {
    QByteArray bytes = QByteArray::fromHex("EEEEEE");
    for (int i = 0; i < 4; ++i)
        bytes.append(char(quint64(round) >> (8 * i)));
    return bytes;
}

void NoteMarker(const QByteArray &datagram) {
    if (datagram.size() == 7 && datagram.startsWith("\xEE\xEE\xEE")) {
        qint64 round = 0;
        for (int i = 3; i >= 0; --i)
            round = (round << 8) | quint8(datagram.at(3 + i));
        markerSeen.store(round);
    }
}

// Stands at the end of the column; tells the sender how far the program got.
class MarkerPanel : public ItemView_t {
public:
    explicit MarkerPanel(const QHostAddress &address)
        : ItemView_t(address, {Ternix36::KindPlug, 105, 5, 3}) {
        _PlaceCommonFrame();
    }
    void _DataRead(const QByteArray &datagram) override { NoteMarker(datagram); }
};

bool WaitForMarker(qint64 round, Clock::time_point deadline) {
    while (markerSeen.load() < round) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}

void RunEventsUntil(const std::function<bool()> &done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Whether any widget has been painted since `seen` was last cleared.
class PaintSeen : public QObject {
public:
    bool seen = false;

protected:
    bool eventFilter(QObject *, QEvent *event) override {
        seen = seen || event->type() == QEvent::Paint;
        return false;
    }
};

double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Largest gap between the ticks of a 1 ms timer: how long the loop was stuck.
class StallMeter : public QObject {
public:
    StallMeter() {
        connect(&timer, &QTimer::timeout, this, [this] {
            const qint64 now = clock.nsecsElapsed();
            worst = qMax(worst, now - last);
            last = now;
        });
        timer.setTimerType(Qt::PreciseTimer);
    }
    void start() {
        clock.start();
        last = 0;
        worst = 0;
        timer.start(1);
    }
    double worstMs() const { return double(worst) / 1e6; }

private:
    QTimer timer;
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 worst = 0;
};

struct Window {
    Window() {
        window.resize(800, 600);
        window.show();
        RunEventsUntil([this] { return window.isVisible(); }, 2000);
        QCoreApplication::processEvents();
    }
    MainWindow_t window;
};

void AddMarkerPanel(MainWindow_t &window) {
    const QHostAddress address(AddressText(MarkerGroup, 1));
    auto *marker = new MarkerPanel(address);
    window._AddItem(marker);
    NodeMap.insert(_NodeKey(address), marker);
}

// Sends rounds of reports from the reporting nodes, each round closed by a
// marker, with at most two rounds in flight so that nothing can overflow the
// receive queue. Runs until `seconds` have passed; returns datagrams per second,
// or -1 when a marker never arrived (something was lost).
double Drive(std::function<void(int)> sendOne, double seconds) {
    const Sender marker(MarkerGroup, 1);
    markerSeen.store(-1);
    const quint64 dropsBefore = ReceiveBufferErrors();
    const auto start = Clock::now();
    const auto stop = start + std::chrono::duration<double>(seconds);
    qint64 round = 0;
    qint64 sent = 0;
    bool lost = false;
    while (Clock::now() < stop) {
        if (round >= 2 && !WaitForMarker(round - 2, Clock::now() + std::chrono::seconds(10))) {
            lost = true;
            break;
        }
        for (int i = 0; i < Round - 1; ++i)
            sendOne(int(sent++));
        marker.send(Marker(round++));
        ++sent;
    }
    lost = lost || !WaitForMarker(round - 1, Clock::now() + std::chrono::seconds(10));
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    if (lost || ReceiveBufferErrors() != dropsBefore)
        return -1;
    return double(sent) / elapsed;
}

} // namespace

int RunReportBaseline() {
    // The bare receive loop: one datagram per readyRead(), nothing shown.
    QUdpSocket socket;
    socket.bind(QHostAddress::AnyIPv6, 4444, QUdpSocket::ShareAddress);
    socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 8 * 1024 * 1024);
    QObject::connect(&socket, &QUdpSocket::readyRead, [&socket] {
        QByteArray datagram(1024, Qt::Uninitialized);
        QHostAddress sender;
        const qint64 length = socket.readDatagram(datagram.data(), datagram.size(), &sender);
        if (length < 0)
            return;
        datagram.truncate(length);
        NoteMarker(datagram);
    });

    std::vector<Sender> nodes;
    for (int i = 0; i < ReportingPanels; ++i)
        nodes.emplace_back(ReportGroup, unsigned(i + 1));
    double rate = 0;
    std::thread sender([&] {
        rate = Drive(
            [&](int n) {
                nodes[n % ReportingPanels].send(Report(Kind(n % KindCount), unsigned(n), "node"));
            },
            2.0);
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    QCoreApplication::exec();
    sender.join();
    PrintResult(QStringLiteral("report_rate=%1").arg(rate, 0, 'f', 0));
    return 0;
}

int RunReportPath(int panels, bool reportersAtTop, bool recordHistory) {
    pRecordHistory = recordHistory;
    Window shown;
    // Panels of mixed kinds; ten of them, spread over the column, report.
    std::vector<Sender> nodes;
    std::vector<Kind> kinds;
    const int spacing = reportersAtTop ? 1 : qMax(1, panels / ReportingPanels);
    for (int i = 0; i < panels; ++i) {
        const Kind kind = Kind(i % KindCount);
        const bool reports = i % spacing == 0 && int(nodes.size()) < ReportingPanels;
        const QString address = reports ? AddressText(ReportGroup, unsigned(nodes.size() + 1))
                                        : QStringLiteral("fd01::%1").arg(i + 1, 0, 16);
        _RouteDatagram(QHostAddress(address), Report(kind, 0, "node " + QByteArray::number(i)));
        if (reports) {
            nodes.emplace_back(ReportGroup, unsigned(nodes.size() + 1));
            kinds.push_back(kind);
        }
    }
    AddMarkerPanel(shown.window);
    RunEventsUntil([&] { return ColumnLaidOut(shown.window, panels + 1); }, 60000);
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();

    double rate = 0;
    const int reporters = int(nodes.size());
    std::thread sender([&] {
        rate = Drive(
            [&](int n) {
                const int node = n % reporters;
                nodes[node].send(
                    Report(kinds[node], unsigned(n), "node " + QByteArray::number(n % 7)));
            },
            2.0);
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    QCoreApplication::exec();
    sender.join();
    // What the first reporting node's history holds: none without recording.
    const ItemView_t *reporter = NodeMap.value(_NodeKey(QHostAddress(AddressText(ReportGroup, 1))));
    PrintResult(QStringLiteral("panels=%1 recorded=%2 report_rate=%3")
                    .arg(panels)
                    .arg(reporter ? reporter->_History()._Full().size() : -1)
                    .arg(rate, 0, 'f', 0));
    return 0;
}

int RunDiscovery(int senders) {
    Window shown;
    AddMarkerPanel(shown.window);
    RunEventsUntil([&] { return ColumnLaidOut(shown.window, 1); }, 5000);
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();

    const qint64 residentBefore = ResidentBytes();
    StallMeter stalls;
    stalls.start();
    Clock::time_point firstSent;
    bool complete = false;
    std::thread sender([&] {
        firstSent = Clock::now();
        const Sender marker(MarkerGroup, 1);
        markerSeen.store(-1);
        for (int i = 0, round = 0; i < senders; ++round) {
            if (round >= 2 && !WaitForMarker(round - 2, Clock::now() + std::chrono::seconds(30)))
                return;
            for (int n = 0; n < Round && i < senders; ++n, ++i)
                Sender(DiscoveryGroup, unsigned(i + 1))
                    .send(Report(Kind(i % KindCount), 0, "node " + QByteArray::number(i)));
            marker.send(Marker(round));
        }
    });
    QElapsedTimer wait;
    wait.start();
    while (!(complete = ColumnLaidOut(shown.window, senders + 1)) && wait.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    const auto done = Clock::now();
    sender.join();
    const double seconds = std::chrono::duration<double>(done - firstSent).count();
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();
    const qint64 residentAfter = ResidentBytes();

    PrintResult(
        QStringLiteral("senders=%1 complete=%2 seconds=%3 per_panel_ms=%4 worst_stall_ms=%5 "
                       "rss_per_panel_kb=%6")
            .arg(senders)
            .arg(complete ? 1 : 0)
            .arg(seconds, 0, 'f', 4)
            .arg(seconds * 1000 / senders, 0, 'f', 4)
            .arg(stalls.worstMs(), 0, 'f', 2)
            .arg(double(residentAfter - residentBefore) / 1024 / senders, 0, 'f', 2));
    return 0;
}

int RunBurst(int senders) {
    Window shown;
    std::vector<Sender> nodes;
    nodes.reserve(size_t(senders));
    for (int i = 0; i < senders; ++i)
        nodes.emplace_back(0xb, unsigned(i + 1));
    std::vector<QByteArray> answers;
    for (int i = 0; i < senders; ++i)
        answers.push_back(Report(Kind(i % KindCount), 0, "node " + QByteArray::number(i)));

    std::thread sender([&] {
        for (int i = 0; i < senders; ++i)
            nodes[size_t(i)].send(answers[size_t(i)]);
    });
    sender.join();
    // Wait until every answer has a panel, or until nothing has changed for 3 s.
    QElapsedTimer quiet;
    quiet.start();
    qsizetype last = 0;
    while (NodeMap.size() < senders && quiet.elapsed() < 3000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (NodeMap.size() != last) {
            last = NodeMap.size();
            quiet.restart();
        }
    }
    PrintResult(QStringLiteral("senders=%1 panels=%2").arg(senders).arg(NodeMap.size()));
    return 0;
}

int RunFind(int panels) {
    Window shown;
    for (int i = 0; i < panels; ++i)
        _RouteDatagram(QHostAddress(QStringLiteral("fd01::%1").arg(i + 1, 0, 16)),
                       Report(Kind(i % KindCount), 0, "node " + QByteArray::number(i)));
    RunEventsUntil([&] { return ColumnLaidOut(shown.window, panels); }, 60000);
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();

    auto *field = shown.window.findChild<FindField_t *>();
    field->_Open();
    QCoreApplication::processEvents();
    // The last panel, a miss that looks at every panel, one in the middle;
    // each keystroke until the window has painted what it changed.
    // (Blinds panels, every fifth from the fifth, show no name.)
    const QString last = QStringLiteral("node %1").arg(panels - 2);
    const QList<QString> texts = {last, QStringLiteral("zzz"),
                                  QStringLiteral("NODE %1").arg(panels / 2)};
    // A keystroke's cost: the main thread's CPU time from the key until the
    // window has painted, which leaves out the wait for the next update and
    // whatever else runs on the machine meanwhile.
    PaintSeen paints;
    qApp->installEventFilter(&paints);
    QList<double> keystrokes;
    const auto type = [&](int key, const QString &text) {
        paints.seen = false;
        const double start = ThreadCpuMs();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QApplication::sendEvent(field, &press);
        QApplication::sendEvent(field, &release);
        QElapsedTimer waited;
        waited.start();
        QTimer::singleShot(200, [] {}); // wakes the wait below should no paint come
        while (!paints.seen && waited.elapsed() < 200)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        keystrokes.append(ThreadCpuMs() - start);
    };
    // Each text must find what it names: the last panel, none, one.
    QList<bool> found;
    for (const QString &text : texts) {
        for (QChar c : text)
            type(c.isLetter() ? Qt::Key_A + (c.toUpper().unicode() - 'A') : c.unicode(), c);
        found.append(field->_Found() != nullptr);
        for (qsizetype i = 0; i < text.size(); ++i)
            type(Qt::Key_Backspace, QString());
    }
    const bool complete = found == QList<bool>{true, false, true} && field->text().isEmpty();
    std::sort(keystrokes.begin(), keystrokes.end());
    PrintResult(QStringLiteral("panels=%1 keystrokes=%2 worst_ms=%3 median_ms=%4 complete=%5")
                    .arg(panels)
                    .arg(keystrokes.size())
                    .arg(keystrokes.last(), 0, 'f', 3)
                    .arg(keystrokes[keystrokes.size() / 2], 0, 'f', 3)
                    .arg(complete ? 1 : 0));
    return 0;
}

} // namespace Bench
