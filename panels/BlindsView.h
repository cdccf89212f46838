// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "panels/ItemView.h"
#include "protocol/BlindsWire.h"

class QPushButton;

// A blinds drive: shows whether it stands still or drives up or down, and
// starts or stops it with the "Up" and "Down" buttons.
class BlindsView_t : public ItemView_t {
    Q_OBJECT

public:
    enum _BlindDir {
        _BlindOff = BlindsWire_t::Off,
        _BlindDown = BlindsWire_t::Down,
        _BlindUp = BlindsWire_t::Up
    };
    Q_ENUM(_BlindDir)

    BlindsView_t(const QHostAddress &sender, const QByteArray &datagram);

    void _DataRead(const QByteArray &datagram) override;

private slots:
    void _SwitchX(_BlindDir ondir);
    void _SwitchUp();
    void _SwitchDown();

private:
    // Byte 3 of the latest report, signed; any value but 0 makes both buttons stop.
    qint32 blindsState = _BlindOff;
    QLabel *stateLabel;
    QPushButton *upButton;
    QPushButton *downButton;
    QPalette upPalette;
    QPalette downPalette;
    QPalette offPalette;
};
