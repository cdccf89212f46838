// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <functional>

class QTimer;

// Passes a stream of wanted levels on as the dimmer takes them: the first at
// once, then at most one per interval while they keep changing, and the last
// one always.
class LevelLimiter_t : public QObject {
public:
    LevelLimiter_t(int intervalMs, const std::function<void(int)> &send, QObject *parent = nullptr);

    void _Want(int level);

private:
    void _Timeout();

    std::function<void(int)> send;
    QTimer *timer;
    int wanted = 0;
    int lastSent = 0;
};
