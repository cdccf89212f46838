// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sim/SimNode.h"

// A plug switched to the state its command names (C0 20 01 SS, SS 0 or 1,
// port 4444). It reports N = 9: the state at byte 4, then real and apparent
// power, drifting while on and 0 while off. It starts off.
class ADPlugNode_t : public SimNode_t {
    Q_OBJECT

public:
    ADPlugNode_t(const QHostAddress &address, const QByteArray &name, QObject *parent = nullptr);

    bool _Command(const QByteArray &command) override;
    QByteArray _Report() override;

    bool _IsOn() const { return on; }

private:
    bool on = false;
    qint32 realPower = 11500; // hundredths of a watt while on
};
