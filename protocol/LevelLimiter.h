// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

class QObject;
class QTimer;

// Passes a stream of wanted dimmer levels on as the dimmer takes them: the
// first at once, then at most one per interval while they keep changing, and
// the last one always. The dimmer panel and the bridge's dimmer share it.
//
// Its timer is a child of the owner, which connects the timer's timeout to a
// tick: the panel through a slot of its own, the bridge directly.
class LevelLimiter_t {
public:
    LevelLimiter_t(QObject *owner, int intervalMs, const std::function<void(int)> &send);

    // Sends the level at once unless a level left less than an interval ago.
    void _Want(int level);
    // One tick of the timer: the latest wanted level, if it has not left yet;
    // otherwise the timer stops until the next change.
    void _Tick();
    QTimer *_Timer() const { return timer; }

private:
    std::function<void(int)> send;
    QTimer *timer;
    int wanted = 0;
    int lastSent = 0;
};
