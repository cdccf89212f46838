// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>

class QUdpSocket;

// One link that the bridge serves, by its interface. The nodes' port is bound
// to this interface alone and without sharing: every datagram it receives
// came over this link, another bridge may serve another link of the same
// host, and a second program on this link is refused instead of taking the
// reports away. Commands leave through a socket bound to the interface too,
// so they never reach another link, whatever the node's address.
class Link_t : public QObject {
    Q_OBJECT

public:
    Link_t(const QString &interfaceName, uint interfaceIndex, QObject *parent = nullptr);

    const QString &_Name() const { return name; }
    // Binds both sockets; false with the reason when it cannot.
    bool _Open(QString *error);
    void _Probe();
    void _Send(const QByteArray &command, const QHostAddress &node, quint16 port);

signals:
    void datagramReceived(const QHostAddress &sender, const QByteArray &datagram);

private:
    void _DatagramsWaiting();
    void _Sent(qint64 result, const QUdpSocket *socket, const QString &what, bool *failureLogged);

    QString name;
    uint index;
    QUdpSocket *nodeSocket;
    QUdpSocket *commandSocket;
    bool probeFailureLogged = false;
    bool sendFailureLogged = false;
};
