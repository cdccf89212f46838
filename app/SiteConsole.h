// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/SiteModule.h"
#include "app/SiteOptions.h"
#include "mqtt/SiteTopics.h"
#include "protocol/NodeKey.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

#include <map>
#include <tuple>

class ItemView_t;
struct Moment_t;

// The window's side of a site: the broker into which the site's bridges
// carry their links. It reads every node's report as the bridge heard it and
// routes it to the node's panel, as the window routes a datagram by its
// sender, here by bridge, link and address; a node's first report makes its
// panel. Commands go back as datagrams on the node's set topic, a probe on
// each bridge's probe topic. Whether a node answers is its bridge's word.
class SiteConsole_t : public QObject {
    Q_OBJECT

public:
    SiteConsole_t(const SiteOptions_t &options, QObject *parent = nullptr);

    // Starts connecting; false with the reason when the site module cannot
    // be loaded or TLS cannot be set up.
    bool _Start(QString *error);
    // The broker as the title and messages name it: HOST, or HOST:PORT when
    // the port is not the scheme's.
    QString _SiteName() const;
    // Asks the bridge to probe its links; every bridge heard of for an empty one.
    void _Probe(const QString &bridge);
    // The password that the person typed, for the next connection.
    void _SetPassword(const QString &password) {
        if (broker)
            broker->_SetPassword(password);
    }
    bool _HasUser() const { return !options.broker.username.isEmpty(); }
    const QString &_User() const { return options.broker.username; }
    bool _PasswordGiven() const { return options.passwordGiven; }
    // Payloads that no panel could take: malformed, too long, of another kind.
    qint64 _Dropped() const { return dropped; }
    qint64 _Routed() const { return routed; }

signals:
    void linkFound(const QString &bridge, const QString &link);
    void connected();
    // A new try at connecting starts, with the settings of now.
    void connecting();
    void failed(SiteFailure_t failure, const QString &why);

private:
    // A node: its bridge, link and address.
    using Key_t = std::tuple<QString, QString, NodeKey_t>;
    struct Node_t {
        ItemView_t *panel = nullptr;
        quint16 kindCode = 0;
        qint64 lastHeardMs = -1; // the latest report's time, on the bridge's clock
        size_t lastDatagramHash = 0;
        bool online = true; // as the node's availability says
    };

    void _Connected();
    void _Message(const QString &topic, const QByteArray &payload, bool retained);
    void _Report(const SiteTopics_t::Message_t &message, const QByteArray &payload, bool retained);
    void _NodeAvailability(const SiteTopics_t::Message_t &message, const QByteArray &payload);
    void _BridgeAvailability(const QString &bridge, const QByteArray &payload);
    // The node's mark, as its bridge and its own availability give it.
    void _ShowAnswering(const QString &bridge, Node_t &node, const Moment_t &now);
    void _Link(const QString &bridge, const QString &link);

    SiteOptions_t options;
    SiteTopics_t topics;
    SiteBroker_t *broker = nullptr; // none when the site module cannot be loaded
    QString moduleError;
    std::map<Key_t, Node_t> nodes;
    QHash<QString, bool> bridgesOnline;
    QSet<QString> links; // "bridge/link"
    qint64 dropped = 0;
    qint64 routed = 0;
};
