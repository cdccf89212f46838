// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sim/SimNode.h"

// A dimmer set by its level command (C0 30 01 01 LL, LL = level 0..100 with
// bit 7 set, port 4444). It reports N = 1 and the level with bit 7 set, as the
// command carries it. It starts at level 0.
class DimmerNode_t : public SimNode_t {
    Q_OBJECT

public:
    DimmerNode_t(const QHostAddress &address, const QByteArray &name, QObject *parent = nullptr);

    bool _Command(const QByteArray &command) override;
    QByteArray _Report() override;

    int _Level() const { return level; }

private:
    int level = 0;
};
