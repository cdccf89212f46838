// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QSet>
#include <QString>

class QHostInfo;
class QSocketNotifier;
class QTimer;
struct mosquitto;
struct mosquitto_message;

// An MQTT connection through libmosquitto, driven by Qt's event loop: the
// library's socket is watched with socket notifiers, its housekeeping runs
// from a timer, and no thread of its own is started. Once started it keeps
// trying, with a growing pause, until it is stopped; every new connection
// says connectedToBroker().
//
// With TLS asked for, it connects with TLS or not at all: certificate files
// that cannot be used fail _Start(), and libmosquitto, once given them, never
// connects in clear; a handshake that fails is tried again like any other
// connection.
//
// Its states and what moves them, one next state for every state and event
// (an event a state does not expect leaves it where it is):
//
//   state       event                               next        what it does on the way
//   Idle        start, set up                       Connecting
//   Idle        start, set-up failed                Stopped     _Start() says why
//   Idle        stop                                Stopped
//   Connecting  accepted (CONNACK 0)                Connected   logs it; connectedToBroker()
//   Connecting  refused (any other CONNACK)         Waiting     logs it (see below)
//   Connecting  failed (DNS, TCP, TLS, lost)        Waiting     logs it (see below)
//   Connecting  timed out (ConnectWaitMs)           Waiting     logs it (see below)
//   Connecting  stop                                Stopped
//   Connected   failed (lost, reset, keep-alive)    Waiting     logs "connection lost"
//   Connected   stop                                Stopping    sends the last message
//   Waiting     timed out (the pause)               Connecting  looks the host up, connects
//   Waiting     stop                                Stopped
//   Stopping    delivered (the last message)        Stopped
//   Stopping    failed                              Stopped
//   Stopping    timed out (StopWaitMs)              Stopped
//   Stopped     anything                            Stopped
//
// A pause starts at 0.5 s and doubles up to 30 s; a connection resets it.
// An outage is logged when it starts, then at most once a minute while it
// lasts, and once more when it ends.
class MqttClient_t : public QObject {
    Q_OBJECT

public:
    struct Settings_t {
        QString host;
        quint16 port = 1883;
        bool tls = false;
        QString caFile;   // empty: the system's certificate authorities
        QString certFile; // the client certificate and its key, or both empty
        QString keyFile;
        QString username;
        QString password;
        QString clientId; // each connection of its own: a broker drops the older of two
        // Published by the broker for us when the connection is lost.
        QString willTopic;
        QByteArray willPayload;
        // How long a broker has to accept a connection, and the pauses
        // between tries; a test shortens them.
        int connectWaitMs = 10000;
        int firstPauseMs = 500;
        int longestPauseMs = 30000;
    };

    enum class State_t { Idle, Connecting, Connected, Waiting, Stopping, Stopped };
    Q_ENUM(State_t)
    // Why a connection was not made or was lost: the broker refused the
    // login, TLS failed (an untrusted certificate among others), or the
    // broker could not be reached or dropped us.
    enum class Failure_t { Refused, Tls, Unreachable };
    Q_ENUM(Failure_t)

    explicit MqttClient_t(const Settings_t &settings, QObject *parent = nullptr);
    ~MqttClient_t() override;

    // Sets the library up and starts connecting; false with the reason when
    // the set-up fails (TLS included), after which nothing is ever sent.
    bool _Start(QString *error);
    State_t _State() const { return state; }
    bool _IsConnected() const { return state == State_t::Connected; }
    // Dropped while not connected: whoever publishes republishes what matters
    // on connectedToBroker().
    void _Publish(const QString &topic, const QByteArray &payload, bool retain, int qos = 1);
    void _Subscribe(const QString &pattern, int qos = 1);
    // The password for the next connection, where a person typed it.
    void _SetPassword(const QString &password);
    // Publishes a last message (none when the topic is empty), waits for the
    // broker to take it (at most about two seconds), disconnects without the
    // last will and says stopped().
    void _Stop(const QString &topic = QString(), const QByteArray &payload = QByteArray());

signals:
    void connectedToBroker();
    // retained: a message the broker kept, sent because we subscribed, not
    // one published while we listen.
    void messageReceived(const QString &topic, const QByteArray &payload, bool retained);
    void stateChanged(MqttClient_t::State_t state);
    // Every failed connection, logged or not, with the reason the log gives.
    void connectFailed(MqttClient_t::Failure_t failure, const QString &why);
    // Messages wait in the library for the connection to take them: a
    // publisher that can wait, waits, so that they do not pile up.
    void backlogChanged(bool backlogged);
    void stopped();

private:
    enum class Event_t { Start, Accepted, Refused, Failed, TimedOut, Stop, Delivered };

    static State_t _Next(State_t state, Event_t event);
    // Moves to the state the table names for this event; `why` says what
    // happened, for the log.
    void _On(Event_t event, const QString &why = QString());
    void _Enter(State_t next, State_t previous, Event_t event, const QString &why);
    void _LogFailure(State_t previous, Event_t event, const QString &why);

    static void _OnConnect(mosquitto *, void *self, int result);
    static void _OnDisconnect(mosquitto *, void *self, int result);
    static void _OnMessage(mosquitto *, void *self, const mosquitto_message *message);
    static void _OnPublish(mosquitto *, void *self, int messageId);
    static void _OnLog(mosquitto *, void *self, int level, const char *text);

    bool _SetUp(QString *error);
    bool _SetUpTls(QString *error);
    void _LookUp();
    void _Resolved(const QHostInfo &info);
    void _Connect();
    void _SendLastMessage();
    void _Disconnect();
    void _Watch();
    void _Unwatch();
    // Logs a failed call once for each step and result until the next connection.
    bool _Succeeded(int result, const char *step);
    // False when the result ended the connection.
    bool _Loop(int result, const char *step);
    QString _LibraryError(int result) const;
    void _Readable();
    void _Writable();
    void _Housekeeping();
    void _UpdateWriteWatch();
    QString _Broker() const;

    Settings_t settings;
    mosquitto *client = nullptr;
    State_t state = State_t::Idle;
    QSocketNotifier *readNotifier = nullptr;
    QSocketNotifier *writeNotifier = nullptr;
    QTimer *housekeepingTimer;
    // The deadline of the state: the broker's answer, the pause, the last message.
    QTimer *stateTimer;
    int pauseMs;
    int lookupId = -1;
    bool backlogged = false;
    QString lastMessageTopic;
    QByteArray lastMessagePayload;
    int lastMessageId = -1;
    QSet<QString> loggedFailures;
    // libmosquitto's last error line: it says why TLS could not be set up.
    QString lastLibraryError;
    // The outage under way: since when, how many tries, when it was last logged.
    QElapsedTimer outage;
    QElapsedTimer sinceLogged;
    int tries = 0;
};
