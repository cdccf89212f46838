// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "panels/ItemView.h"

class QPushButton;

// A blinds drive: shows whether it stands still or drives up or down, and
// starts or stops it with the "Up" and "Down" buttons.
class BlindsView_t : public ItemView_t {
    Q_OBJECT

public:
    // The codes of byte 3 in the drive command and in the report; 2 is unused.
    enum _BlindDir { _BlindOff = 0, _BlindDown = 1, _BlindUp = 3 };
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
