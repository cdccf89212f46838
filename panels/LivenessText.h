// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class Liveness_t;

// What a panel says about its node's liveness, built only when asked for:
// "No answer to the probe at 10:20:30. Last heard at 10:20:01 (34 s ago)".
// Times are local; a moment of another day than `nowMs` has its date first.
// Empty for a node never heard.
enum class LivenessTextForm_t {
    ToolTip,    // with the age
    Description // without it: a screen reader's cached copy must not go stale
};
QString _LivenessText(const Liveness_t &liveness, qint64 nowMs, LivenessTextForm_t form);
