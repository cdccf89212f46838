// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>

#include <sys/types.h>

class QSocketNotifier;

// One link that the bridge serves, by its interface. The nodes' port is bound
// to this interface alone and without sharing: every datagram it receives
// came over this link, another bridge may serve another link of the same
// host, and a second program on this link is refused instead of taking the
// reports away. Commands leave through a socket bound to the interface too,
// so they never reach another link, whatever the node's address.
//
// A socket stays bound to the interface it was bound to, by its index: when
// the interface goes (a radio on USB unplugged) and one of that name comes
// back, it has another index, and the sockets are bound to it anew.
class Link_t : public QObject {
    Q_OBJECT

public:
    enum class Change_t { None, Gone, Back };
    // Taken: another socket holds the nodes' port on this interface.
    enum class Open_t { Opened, Taken, Failed };

    Link_t(const QString &interfaceName, uint interfaceIndex, QObject *parent = nullptr);
    ~Link_t() override;

    const QString &_Name() const { return name; }
    // Binds both sockets; the reason when it cannot, naming the program that
    // holds the port when it is taken.
    Open_t _Open(QString *error);
    // Lets both sockets go, as while the bridge waits for a port taken on another link.
    void _Close();
    // Whether the interface went or came back since the last look.
    Change_t _Watch();
    // False when the probe could not be sent.
    bool _Probe();
    void _Send(const QByteArray &command, const QHostAddress &node, quint16 port);
    // Not read while the broker cannot take more: what comes meanwhile waits
    // in the kernel's buffer, where a flood is cut short, not in ours.
    void _SetReading(bool reading);

signals:
    void datagramReceived(const QHostAddress &sender, const QByteArray &datagram);

private:
    void _DatagramsWaiting();
    bool _Sent(ssize_t result, const QString &what, bool *failureLogged);

    QString name;
    uint index; // 0 while the interface is gone
    int nodeSocket = -1;
    int commandSocket = -1;
    QSocketNotifier *notifier = nullptr;
    bool reading = true;
    bool probeFailureLogged = false;
    bool sendFailureLogged = false;
    bool rebindFailureLogged = false;
};
