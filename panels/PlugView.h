// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "panels/ItemView.h"

class QPushButton;

// A plug that toggles on each command and reports two power readings while on.
class PlugView_t : public ItemView_t {
    Q_OBJECT

public:
    PlugView_t(const QHostAddress &sender, const QByteArray &datagram);

    void _DataRead(const QByteArray &datagram) override;

private slots:
    void _Switch();

private:
    QLabel *apparentPowerLabel;
    QLabel *realPowerLabel;
    QPushButton *switchButton;
    QPalette onPalette;
    QPalette offPalette;
};
