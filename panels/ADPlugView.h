// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "panels/ItemView.h"

class QPushButton;

// A plug that reports its on/off state and two power readings, and is switched
// by naming the state it is to take.
class ADPlugView_t : public ItemView_t {
    Q_OBJECT

public:
    ADPlugView_t(const QHostAddress &sender, const QByteArray &datagram);

    void _DataRead(const QByteArray &datagram) override;

private slots:
    void _Switch();

private:
    // The state of the latest report. Only reports set it, so two presses
    // without a report in between ask for the same state.
    bool lastOn = false;
    QLabel *apparentPowerLabel;
    QLabel *realPowerLabel;
    QPushButton *switchButton;
    QPalette onPalette;
    QPalette offPalette;
};
