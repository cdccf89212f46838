// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

namespace Ternix36 {

// How long a node has to answer a discovery probe before it counts as not
// answering.
constexpr qint64 ProbeAnswerMs = 5000;

} // namespace Ternix36

// When a node was last heard from, and whether it let the answer window of a
// probe pass in silence. Times are milliseconds since the epoch; the caller
// reads the clock, so that one read serves a whole datagram.
class Liveness_t {
public:
    // Any datagram from the node at this moment (ms since epoch). Returns true when it clears the
    // not-answering mark.
    bool _Heard(qint64 nowMs);
    // The answer window of a probe sent at probeMs has closed: the node is marked when it sent
    // nothing since then. Returns true when the mark was newly set.
    bool _ProbeExpired(qint64 probeMs);
    bool _NotAnswering() const { return m_notAnswering; }
    qint64 _LastHeardMs() const { return m_lastHeardMs; } // 0 until heard
    qint64 _UnansweredProbeMs() const {
        return m_notAnswering ? m_unansweredProbeMs : 0;
    } // the probe it did not answer, while marked

private:
    qint64 m_lastHeardMs = 0;
    qint64 m_unansweredProbeMs = 0;
    bool m_notAnswering = false;
};
