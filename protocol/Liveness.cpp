// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/Liveness.h"

bool Liveness_t::_Heard(const Moment_t &now) {
    m_lastHeard = now;
    const bool wasMarked = m_notAnswering;
    m_notAnswering = false;
    return wasMarked;
}

bool Liveness_t::_ProbeExpired(const Moment_t &probe) {
    // A datagram in the same millisecond as the probe counts as its answer.
    if (m_lastHeard.monotonicMs != 0 && m_lastHeard.monotonicMs >= probe.monotonicMs)
        return false;
    const bool wasMarked = m_notAnswering;
    // While marked, it names the latest probe the node let pass.
    if (!wasMarked || probe.monotonicMs > m_unansweredProbe.monotonicMs)
        m_unansweredProbe = probe;
    m_notAnswering = true;
    return !wasMarked;
}

bool Liveness_t::_SetNotAnswering(bool notAnswering, const Moment_t &now) {
    if (notAnswering == m_notAnswering)
        return false;
    m_notAnswering = notAnswering;
    if (notAnswering)
        m_unansweredProbe = now;
    return true;
}
