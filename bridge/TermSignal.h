// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM and SIGINT as a Qt signal: the handler only writes a byte to a
// socket pair, whose other end the event loop watches.
class TermSignal_t : public QObject {
    Q_OBJECT

public:
    explicit TermSignal_t(QObject *parent = nullptr);

signals:
    void received();

private:
    static void _Handle(int);
    void _Readable();

    QSocketNotifier *notifier;
};
