// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/ProbeWindows.h"

#include "protocol/Clock.h"
#include "protocol/Liveness.h"

#include <QTimer>

ProbeWindows_t::ProbeWindows_t(QObject *parent)
    : QObject(parent) {
}

void ProbeWindows_t::_Open(const QString &scope) {
    auto *timer = new QTimer(this);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, &ProbeWindows_t::_CloseOldest);
    timer->start(int(Ternix36::ProbeAnswerMs));
    open.append({_Now(), scope, timer});
}

void ProbeWindows_t::_CloseOldest() {
    // Every window is equally long, so the oldest closes first.
    if (open.isEmpty())
        return;
    const Open_t window = open.takeFirst();
    // Stopped, for a window closed before its time; deleted once its signal is done.
    window.timer->stop();
    window.timer->deleteLater();
    emit closed(window.probe, window.scope);
}
