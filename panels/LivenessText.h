// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class Liveness_t;
struct Moment_t;

// What a panel says about its node's liveness, built only when asked for:
// "No answer to the probe at 10:20:30. Last heard at 10:20:01 (34 s ago)".
// Times are local; a moment of another day than `now` has its date first.
// The age is measured on the monotonic clock, so that a step of the wall
// clock since leaves it right.
// Empty for a node never heard.
enum class LivenessTextForm_t {
    ToolTip,    // with the age
    Description // without it: a screen reader's cached copy must not go stale
};
QString _LivenessText(const Liveness_t &liveness, const Moment_t &now, LivenessTextForm_t form);
