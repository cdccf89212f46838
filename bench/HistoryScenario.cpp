// SPDX-License-Identifier: GPL-3.0-or-later
// The history's rows: a day of reports from many nodes into their histories,
// on a simulated clock, and the heap the histories hold at the end of it.

#include "Harness.h"
#include "NodeSenders.h"
#include "Scenarios.h"

#include "protocol/NodeHistory.h"
#include "protocol/NodeKinds.h"
#include "protocol/ReportReader.h"

#include <QTextStream>

#include <chrono>
#include <memory>
#include <vector>

#include <malloc.h>

namespace Bench {
namespace {

using Clock = std::chrono::steady_clock;
using Histories = std::vector<std::unique_ptr<NodeHistory_t>>;

constexpr qint64 StartMs = 1800000000000; // ms since the epoch, a whole ten minutes
constexpr qint64 EveryMs = 5000;
constexpr qint64 DayMs = 24 * 60 * 60 * 1000;
// Reports from the first, at StartMs, to the last, a day on.
constexpr qint64 Rounds = DayMs / EveryMs + 1;
// Reports of each kind with readings that change from one to the next.
constexpr int Variants = 997;

// What malloc has handed out, its own bookkeeping of each block included.
qint64 HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
}

// The node type the program gives a node that sends this report.
Ternix36::_NodeType TypeOf(const QByteArray &report) {
    return Ternix36::_FindKind(ReportReader_t(report)._U16(Ternix36::KindOffset))->type;
}

// Every node reports every 5 s for a day, each at its own offset within the
// 5 s, so that the histories hear the nodes in turn, as from a real link;
// `reportOf(round, node)` is what it sends. The seconds it took.
template <typename ReportOf> double FeedADay(Histories &histories, ReportOf reportOf) {
    const auto start = Clock::now();
    const int nodes = int(histories.size());
    for (qint64 round = 0; round < Rounds; ++round) {
        for (int i = 0; i < nodes; ++i) {
            const qint64 nowMs = StartMs + round * EveryMs + qint64(i) * EveryMs / nodes;
            // The monotonic clock reads as the wall clock: no one sets it here.
            histories[size_t(i)]->_Report({nowMs, nowMs}, reportOf(round, i));
        }
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The histories still hold the whole day: the oldest ten minutes are those
// of the first report, the newest report the day's last.
bool HoldTheDay(const Histories &histories) {
    for (const std::unique_ptr<NodeHistory_t> &history : histories)
        if (history->_TenMinutes().isEmpty() ||
            history->_TenMinutes().first()._StartMs() != StartMs ||
            history->_Full().last().ms < StartMs + DayMs)
            return false;
    return true;
}

qint64 HeapBytes(const Histories &histories) {
    qint64 bytes = 0;
    for (const std::unique_ptr<NodeHistory_t> &history : histories)
        bytes += history->_HeapBytes();
    return bytes;
}

} // namespace

int RunHistory(int nodes) {
    if (nodes <= 0)
        nodes = 1000;
    // The reports are built before anything is measured, so that the heap
    // and the time below are the histories' alone. The readings change from
    // one report to the next; the plugs and blinds keep their state (every
    // variant a multiple of 6 is off), as a node does most of a day: the
    // switching row measures the changes.
    std::vector<std::vector<QByteArray>> reports(KindCount);
    for (int kind = 0; kind < KindCount; ++kind)
        for (unsigned variant = 0; variant < Variants; ++variant)
            reports[size_t(kind)].push_back(
                Report(Kind(kind), 6 * variant, "node " + QByteArray::number(variant % 7)));
    Histories histories;
    histories.reserve(size_t(nodes));

    const qint64 inUseBefore = HeapInUse();
    for (int i = 0; i < nodes; ++i)
        histories.push_back(
            std::make_unique<NodeHistory_t>(TypeOf(reports[size_t(i % KindCount)][0])));

    const double seconds = FeedADay(histories, [&](qint64 round, int i) -> const QByteArray & {
        return reports[size_t(i % KindCount)][size_t((round + i) % Variants)];
    });
    const qint64 inUse = HeapInUse() - inUseBefore;
    const double records = double(Rounds) * nodes;

    PrintResult(
        QStringLiteral("nodes=%1 records=%2 complete=%3 ns_per_record=%4 heap_per_node_kb=%5 "
                       "rings_per_node_kb=%6 object_bytes=%7")
            .arg(nodes)
            .arg(records, 0, 'f', 0)
            .arg(HoldTheDay(histories) ? 1 : 0)
            .arg(seconds * 1e9 / records, 0, 'f', 1)
            .arg(double(inUse) / 1024 / nodes, 0, 'f', 2)
            .arg(double(HeapBytes(histories)) / 1024 / nodes, 0, 'f', 2)
            .arg(sizeof(NodeHistory_t)));
    return 0;
}

int RunHistorySwitching(int nodes) {
    if (nodes <= 0)
        nodes = 1000;
    constexpr qint64 SwitchEveryMs = 10000;
    // On, with readings that change from one report to the next, or off.
    std::vector<QByteArray> onReports;
    for (unsigned variant = 0; variant < Variants; ++variant)
        onReports.push_back(Report(Kind::Plug, variant, "lamp"));
    const QByteArray offReport = QByteArray::fromHex("00100100") + char(4) + "lamp";
    const auto isOn = [](qint64 round) {
        return (round * EveryMs / SwitchEveryMs) % 2 == 0;
    };
    Histories histories;
    histories.reserve(size_t(nodes));

    const qint64 inUseBefore = HeapInUse();
    for (int i = 0; i < nodes; ++i)
        histories.push_back(std::make_unique<NodeHistory_t>(Ternix36::_NodeType::_Plug));
    const double seconds = FeedADay(histories, [&](qint64 round, int i) -> const QByteArray & {
        return isOn(round) ? onReports[size_t((round + i) % Variants)] : offReport;
    });
    const qint64 inUse = HeapInUse() - inUseBefore;
    const double records = double(Rounds) * nodes;

    // Every change sent is kept, after the state at the start of the records.
    qint64 sent = 0;
    for (qint64 round = 1; round < Rounds; ++round)
        sent += isOn(round) != isOn(round - 1) ? 1 : 0;
    bool everyChange = true;
    for (const std::unique_ptr<NodeHistory_t> &history : histories)
        everyChange = everyChange && history->_Changes().size() == sent + 1;

    PrintResult(
        QStringLiteral("nodes=%1 records=%2 changes_per_node=%3 complete=%4 ns_per_record=%5 "
                       "heap_per_node_kb=%6 rings_per_node_kb=%7")
            .arg(nodes)
            .arg(records, 0, 'f', 0)
            .arg(sent)
            .arg(everyChange && HoldTheDay(histories) ? 1 : 0)
            .arg(seconds * 1e9 / records, 0, 'f', 1)
            .arg(double(inUse) / 1024 / nodes, 0, 'f', 2)
            .arg(double(HeapBytes(histories)) / 1024 / nodes, 0, 'f', 2));
    return 0;
}

} // namespace Bench
