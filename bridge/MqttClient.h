// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;
class QTimer;
struct mosquitto;
struct mosquitto_message;

// An MQTT connection through libmosquitto, driven by Qt's event loop: the
// library's socket is watched with socket notifiers, its housekeeping runs
// from a timer, and no thread of its own is started. A lost connection is
// tried again with a growing pause; every new connection says connected().
class MqttClient_t : public QObject {
    Q_OBJECT

public:
    struct Settings_t {
        QString host;
        quint16 port = 1883;
        bool tls = false;
        QString caFile; // empty: the system's certificate authorities
        QString username;
        QString password;
        QString clientId;
        // Published by the broker for us when the connection is lost.
        QString willTopic;
        QByteArray willPayload;
    };

    explicit MqttClient_t(const Settings_t &settings, QObject *parent = nullptr);
    ~MqttClient_t() override;

    void _Start();
    bool _IsConnected() const { return connected; }
    // Dropped while not connected: whoever publishes republishes what matters
    // on connectedToBroker().
    void _Publish(const QString &topic, const QByteArray &payload, bool retain, int qos = 1);
    void _Subscribe(const QString &pattern);
    // Publishes a last message, waits for the broker to take it (at most
    // about two seconds), disconnects and says stopped().
    void _Stop(const QString &topic, const QByteArray &payload);

signals:
    void connectedToBroker();
    void messageReceived(const QString &topic, const QByteArray &payload);
    void stopped();

private:
    static void _OnConnect(mosquitto *, void *self, int result);
    static void _OnDisconnect(mosquitto *, void *self, int result);
    static void _OnMessage(mosquitto *, void *self, const mosquitto_message *message);
    static void _OnPublish(mosquitto *, void *self, int messageId);

    void _Connect();
    void _Watch();
    void _Unwatch();
    void _Lost(const QString &why);
    void _Check(int result, const char *step);
    void _Readable();
    void _Writable();
    void _Housekeeping();
    void _UpdateWriteWatch();
    void _Finish();

    Settings_t settings;
    mosquitto *client = nullptr;
    QSocketNotifier *readNotifier = nullptr;
    QSocketNotifier *writeNotifier = nullptr;
    QTimer *housekeepingTimer;
    QTimer *reconnectTimer;
    QTimer *stopTimer;
    QTimer *connectTimer;
    int backoffMs;
    bool started = false;
    bool connected = false;
    bool stopping = false;
    bool finished = false;
    int stopMessageId = -1;
};
