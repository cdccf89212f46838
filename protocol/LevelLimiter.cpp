// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/LevelLimiter.h"

#include <QTimer>

LevelLimiter_t::LevelLimiter_t(QObject *owner, int intervalMs, const std::function<void(int)> &send)
    : send(send)
    , timer(new QTimer(owner)) {
    timer->setInterval(intervalMs);
}

void LevelLimiter_t::_Want(int level) {
    wanted = level;
    if (timer->isActive())
        return;
    lastSent = level;
    send(level);
    timer->start();
}

void LevelLimiter_t::_Tick() {
    if (wanted == lastSent) {
        timer->stop();
        return;
    }
    lastSent = wanted;
    send(wanted);
}
