// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QSet>
#include <QString>

class QSocketNotifier;
class QTimer;
struct mosquitto;
struct mosquitto_message;

// An MQTT connection through libmosquitto, driven by Qt's event loop: the
// library's socket is watched with socket notifiers, its housekeeping runs
// from a timer, and no thread of its own is started. A lost connection is
// tried again with a growing pause; every new connection says connected().
//
// With TLS asked for, it connects with TLS or not at all: certificate files
// that cannot be used fail _Start(), and libmosquitto, once given them, never
// connects in clear; a handshake that fails is tried again like any other
// connection.
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
        QString clientId;
        // Published by the broker for us when the connection is lost.
        QString willTopic;
        QByteArray willPayload;
    };

    enum class State_t {
        Idle,       // not started
        Connecting, // waiting for the broker's answer, at most ConnectWaitMs
        Connected,
        Waiting,  // to try again after a pause
        Stopping, // the last message sent, waiting for the broker to take it
        Stopped,
    };

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
    void _Subscribe(const QString &pattern);
    // Publishes a last message, waits for the broker to take it (at most
    // about two seconds), disconnects and says stopped().
    void _Stop(const QString &topic, const QByteArray &payload);

signals:
    void connectedToBroker();
    // retained: a message the broker kept, sent because we subscribed, not
    // one published while we listen.
    void messageReceived(const QString &topic, const QByteArray &payload, bool retained);
    void stopped();

private:
    static void _OnConnect(mosquitto *, void *self, int result);
    static void _OnDisconnect(mosquitto *, void *self, int result);
    static void _OnMessage(mosquitto *, void *self, const mosquitto_message *message);
    static void _OnPublish(mosquitto *, void *self, int messageId);
    static void _OnLog(mosquitto *, void *self, int level, const char *text);

    bool _SetUp(QString *error);
    bool _SetUpTls(QString *error);
    void _Connect();
    void _Enter(State_t next, int timeoutMs = -1);
    void _StateTimeout();
    void _Watch();
    void _Unwatch();
    void _Lost(const QString &why);
    // Logs a failed call once for each step and result until the next connection.
    bool _Succeeded(int result, const char *step);
    void _Loop(int result, const char *step);
    void _Readable();
    void _Writable();
    void _Housekeeping();
    void _UpdateWriteWatch();
    void _Finish();

    Settings_t settings;
    mosquitto *client = nullptr;
    State_t state = State_t::Idle;
    QSocketNotifier *readNotifier = nullptr;
    QSocketNotifier *writeNotifier = nullptr;
    QTimer *housekeepingTimer;
    // The deadline of the state: the broker's answer, the pause, the last message.
    QTimer *stateTimer;
    int backoffMs;
    int stopMessageId = -1;
    QSet<QString> loggedFailures;
    // libmosquitto's last error line: it says why TLS could not be set up.
    QString lastLibraryError;
};
