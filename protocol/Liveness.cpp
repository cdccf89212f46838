// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/Liveness.h"

bool Liveness_t::_Heard(qint64 nowMs) {
    m_lastHeardMs = nowMs;
    const bool wasMarked = m_notAnswering;
    m_notAnswering = false;
    return wasMarked;
}

bool Liveness_t::_ProbeExpired(qint64 probeMs) {
    // A datagram in the same millisecond as the probe counts as its answer.
    if (m_lastHeardMs != 0 && m_lastHeardMs >= probeMs)
        return false;
    const bool wasMarked = m_notAnswering;
    // While marked, it names the latest probe the node let pass.
    m_unansweredProbeMs = wasMarked ? qMax(m_unansweredProbeMs, probeMs) : probeMs;
    m_notAnswering = true;
    return !wasMarked;
}
