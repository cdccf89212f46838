// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/Clock.h"

#include <QList>
#include <QObject>
#include <QString>

class QTimer;

// The answer windows of the probes sent, one per probe and interface. A
// window closes ProbeAnswerMs after its probe; then each node of that
// interface that sent nothing since is not answering, which its Liveness_t
// decides. The window marks its panels, the bridge its devices' availability.
class ProbeWindows_t : public QObject {
    Q_OBJECT

public:
    explicit ProbeWindows_t(QObject *parent = nullptr);

    // A probe left through the interface `scope` now (_Now).
    void _Open(const QString &scope);
    // Closes the oldest window, at its time or, for a test, before.
    void _CloseOldest();

signals:
    void closed(const Moment_t &probe, const QString &scope);

private:
    struct Open_t {
        Moment_t probe;
        QString scope;
        QTimer *timer;
    };
    QList<Open_t> open;
};
