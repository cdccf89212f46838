// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/NodeKinds.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>

// One simulated node: its kind, address and name, what it does with a
// command and what it reports. It knows nothing of sockets; the simulator
// delivers its commands and sends its reports.
class SimNode_t : public QObject {
    Q_OBJECT

public:
    SimNode_t(Ternix36::NodeKind kind, const QHostAddress &address, const QByteArray &name,
              QObject *parent = nullptr);

    Ternix36::NodeKind _Kind() const { return kind; }
    QHostAddress _Address() const { return address; }
    QByteArray _Name() const { return name; }
    quint16 _CommandPort() const { return Ternix36::CommandPort(kind); }

    // Takes one command. A malformed one changes nothing and gets false; the
    // node then sends no answer.
    virtual bool _Command(const QByteArray &command) = 0;
    // A fresh report of the node's present state.
    virtual QByteArray _Report() = 0;

signals:
    // The node has something to report without being asked.
    void _ReportDue();

protected:
    // Operation byte and the node's own kind, little-endian.
    QByteArray _Header() const;
    // Name length, then the name: ends every report but the blinds'.
    QByteArray _NameTrailer() const;
    // The command header a panel sends to this node.
    static bool _HasHeader(const QByteArray &command, quint8 operation, Ternix36::NodeKind kind);
    static void _AppendS32(QByteArray &report, qint32 value);
    // A reading moved by a small random step that is never zero, kept inside
    // [low, high]: every report shows a change.
    static qint32 _Drift(qint32 value, qint32 low, qint32 high, qint32 maxStep);

private:
    Ternix36::NodeKind kind;
    QHostAddress address;
    QByteArray name;
};
