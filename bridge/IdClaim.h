// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// One bridge process's claim to its bridge id, so that two bridges started
// with one id find out before either disturbs the other. Every bridge
// publishes its claim (not retained) on B/ID/claim when it connects and
// listens there: a bridge that serves already answers a newcomer's claim with
// its own. Of two claims, the one that serves already wins, then the older.
// A bridge restarted on its host makes a new claim that nothing answers.
class IdClaim_t {
public:
    struct Claim_t {
        QString instance; // random, new with every process
        QString host;
        qint64 pid = 0;
        qint64 sinceMs = 0; // when the process started, ms since the epoch
        bool serving = false;
    };

    IdClaim_t(const QString &host, qint64 pid, qint64 sinceMs);

    const Claim_t &_Own() const { return own; }
    QByteArray _Payload(bool serving) const;
    // False for anything that is not a claim.
    static bool _Parse(const QByteArray &payload, Claim_t *claim);
    // Whether this process must give the id up to the other claim, while it
    // serves (serving) or before.
    bool _YieldsTo(const Claim_t &other, bool serving) const;
    // "ternix36-bridge on host pi4 (process 1234, since 2026-12-10 06:46:13)"
    static QString _Describe(const Claim_t &claim);

private:
    Claim_t own;
};
