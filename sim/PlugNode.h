// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sim/SimNode.h"

// A plug that toggles on every switch command (C0 10 01, port 40000). While
// on it reports N = 8 with drifting real and apparent power, while off N = 0.
class PlugNode_t : public SimNode_t {
    Q_OBJECT

public:
    PlugNode_t(const QHostAddress &address, const QByteArray &name, QObject *parent = nullptr);

    bool _Command(const QByteArray &command) override;
    QByteArray _Report() override;

    bool _IsOn() const { return on; }

private:
    bool on = true;
    qint32 realPower = 4000; // hundredths of a watt
};
