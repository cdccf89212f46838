// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "bridge/CommandBudget.h"
#include "bridge/Pace.h"
#include "protocol/Liveness.h"
#include "protocol/Protocol.h"
#include "protocol/SiteReport.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>

#include <functional>

class ReportReader_t;

// One node as the hub sees it: its readings as a JSON state, the entities it
// offers for discovery, and the commands the hub may give it. Each kind is a
// subclass; all wire facts come from the kind's file in protocol/. Whatever
// a command came as, at most CommandBudget_t::PerSecond go to the node in
// any second.
class Device_t : public QObject {
public:
    // Sends a command to the node at the given port.
    using Sender_t = std::function<void(const QByteArray &command, quint16 port)>;

    // One discovered entity: the component ("switch", "sensor"...), its object
    // id within the node, and its own configuration keys; the bridge adds the
    // topics' common keys, the availability and the device block.
    struct Entity_t {
        QString component;
        QString object;
        QJsonObject config;
        bool readsState = true;     // gets the node's state topic
        bool takesCommands = false; // gets a command topic of its own
        // Further keys that name the node's state topic, and further command
        // topics: the key, and the object whose set topic it is.
        QStringList moreStateTopics;
        QList<QPair<QString, QString>> moreCommandTopics;
    };

    // What a command topic's payload did.
    enum class Command_t { Sent, NothingToDo, Malformed };

    // kind: the code the node reported first; link: the interface's name;
    // address: the node's, without scope, as text.
    Device_t(Ternix36::NodeKind kind, const QString &link, const QString &address,
             const Sender_t &send, QObject *parent = nullptr);

    const QString &_Link() const { return link; }
    const QString &_Address() const { return address; }
    // The address with its link as scope, as logs show it: fe80::10%enp3s0.
    QString _Id() const { return address + u'%' + link; }
    Ternix36::NodeKind _Kind() const { return kind; }
    // "TERNIX36 Plug"...
    const QString &_Model() const { return model; }
    // The name from the latest report; empty until a report names the node.
    const QString &_Name() const { return name; }
    // The name its discovery was last published with, null before, and when
    // (on the monotonic clock).
    QString discoveredName;
    qint64 discoveredAtMs = 0;

    // A report from the node, at least the three header bytes long.
    virtual void _Read(const ReportReader_t &report) = 0;
    // The readings of the latest report, published retained as the node's state.
    virtual QJsonObject _State() const = 0;
    virtual QList<Entity_t> _Entities() const = 0;
    // A payload on the command topic of one of the node's objects.
    virtual Command_t _Command(const QString &object, const QByteArray &payload) = 0;
    // A datagram to pass on as it is, at the kind's command port: only one
    // that a panel of the node's kind sends, by its operation byte, kind code
    // and length.
    Command_t _Datagram(const QByteArray &datagram);

    Liveness_t liveness;
    // The latest report as it came, published again on every connection:
    // a node heard before the broker was must not wait for its next report.
    SiteReport_t lastReport;

protected:
    // Dropped, and said at most once a second, beyond the budget.
    void _Send(const QByteArray &command, quint16 port);
    // A JSON state value for a power reading in hundredths of a watt.
    static double _Watts(qint32 hundredths) { return hundredths / 100.0; }
    // The common keys of a sensor that reads one field of the state; without
    // a device class and unit when they are empty.
    static QJsonObject _Sensor(const QString &name, const QString &deviceClass, const QString &unit,
                               const QString &field);

    QString name;

private:
    Ternix36::NodeKind kind;
    QString link;
    QString address;
    QString model;
    Sender_t send;
    CommandBudget_t budget;
    Pace_t dropsSaid;
};
