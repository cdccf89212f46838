// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sim/SimNode.h"

#include <QTimer>

// A blinds drive (port 40000). C0 21 01 01 drives down, C0 21 01 03 drives
// up, C0 21 01 00 stops. A drive stops by itself after a few seconds and
// reports it; a drive command while driving turns to that direction. The
// report is the header and the state (0 off, 1 down, 3 up), nothing else.
class BlindsNode_t : public SimNode_t {
    Q_OBJECT

public:
    enum _State : char { _Off = 0, _Down = 1, _Up = 3 };
    static constexpr int TravelMs = 3000;

    BlindsNode_t(const QHostAddress &address, const QByteArray &name, QObject *parent = nullptr);

    bool _Command(const QByteArray &command) override;
    QByteArray _Report() override;

    _State _CurrentState() const { return state; }
    // The end of travel, as the drive's timer calls it.
    void _Arrive();

private:
    _State state = _Off;
    QTimer travel;
};
