// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "panels/ItemView.h"
#include "protocol/LevelLimiter.h"

class QSlider;

// A dimmer: the slider sets the node's level, at most one command per timer
// interval while it moves; the label shows the level the node reports.
class DimmerView_t : public ItemView_t {
    Q_OBJECT

public:
    DimmerView_t(const QHostAddress &sender, const QByteArray &datagram);

    void _DataRead(const QByteArray &datagram) override;

private slots:
    void _Poll(int i);
    void _Poll();
    void _Timeout();

private:
    void _SendLevel(int level);

    QLabel *levelLabel;
    // The level the operator wants; reports never move it.
    QSlider *slider;
    // Its timer runs while the slider may still hold a level the node has not
    // been sent.
    LevelLimiter_t limiter;
};
