// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/Clock.h"

#include <QtGlobal>

namespace Ternix36 {

// How long a node has to answer a discovery probe before it counts as not
// answering.
constexpr qint64 ProbeAnswerMs = 5000;

} // namespace Ternix36

// When a node was last heard from, and whether it let the answer window of a
// probe pass in silence. The caller reads the clocks, so that one read serves
// a whole datagram. Whether a datagram came after a probe is decided on the
// monotonic clock, which a step of the wall clock leaves alone; the wall
// clock's times are kept to be shown.
class Liveness_t {
public:
    // Any datagram from the node at `now`. Returns true when it clears the
    // not-answering mark.
    bool _Heard(const Moment_t &now);
    // The answer window of the probe sent at `probe` has closed: the node is
    // marked when it sent nothing since then. Returns true when the mark was
    // newly set.
    bool _ProbeExpired(const Moment_t &probe);
    // For a node whose liveness someone else judges (a bridge, through its
    // broker): a datagram heard at `heard`, which leaves the mark as it is,
    // and the mark as that judge gives it, set at `now`. True when it changed.
    void _HeardThrough(const Moment_t &heard) { m_lastHeard = heard; }
    bool _SetNotAnswering(bool notAnswering, const Moment_t &now);
    bool _NotAnswering() const { return m_notAnswering; }
    const Moment_t &_LastHeard() const { return m_lastHeard; } // both 0 until heard
    // On the wall clock, to be shown.
    qint64 _LastHeardMs() const { return m_lastHeard.wallMs; } // 0 until heard
    qint64 _UnansweredProbeMs() const {
        return m_notAnswering ? m_unansweredProbe.wallMs : 0;
    } // the probe it did not answer, while marked

private:
    Moment_t m_lastHeard;
    Moment_t m_unansweredProbe;
    bool m_notAnswering = false;
};
