// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/LevelLimiter.h"

#include <QTimer>

LevelLimiter_t::LevelLimiter_t(int intervalMs, const std::function<void(int)> &send,
                               QObject *parent)
    : QObject(parent)
    , send(send)
    , timer(new QTimer(this)) {
    timer->setInterval(intervalMs);
    connect(timer, &QTimer::timeout, this, &LevelLimiter_t::_Timeout);
}

void LevelLimiter_t::_Want(int level) {
    wanted = level;
    if (timer->isActive())
        return;
    lastSent = level;
    send(level);
    timer->start();
}

void LevelLimiter_t::_Timeout() {
    if (wanted == lastSent) {
        timer->stop();
        return;
    }
    lastSent = wanted;
    send(wanted);
}
