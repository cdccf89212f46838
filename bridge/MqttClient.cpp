// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/MqttClient.h"

#include "bridge/Log.h"

#include <QSocketNotifier>
#include <QTimer>

#include <mosquitto.h>

namespace {
constexpr int KeepAliveSeconds = 30;
constexpr int HousekeepingMs = 1000;
constexpr int FirstBackoffMs = 500;
constexpr int LongestBackoffMs = 30000;
constexpr int StopWaitMs = 2000;
// A broker that takes longer to accept the connection is tried again.
constexpr int ConnectWaitMs = 10000;
// What must not be lost: the last will, and what says the bridge is stopping.
constexpr int Qos = 1;

struct LibraryUse_t {
    LibraryUse_t() { mosquitto_lib_init(); }
    ~LibraryUse_t() { mosquitto_lib_cleanup(); }
};
} // namespace

MqttClient_t::MqttClient_t(const Settings_t &settings, QObject *parent)
    : QObject(parent)
    , settings(settings)
    , housekeepingTimer(new QTimer(this))
    , reconnectTimer(new QTimer(this))
    , stopTimer(new QTimer(this))
    , connectTimer(new QTimer(this))
    , backoffMs(FirstBackoffMs) {
    static LibraryUse_t library;

    client = mosquitto_new(settings.clientId.toUtf8().constData(), true, this);
    mosquitto_int_option(client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(client, &MqttClient_t::_OnConnect);
    mosquitto_disconnect_callback_set(client, &MqttClient_t::_OnDisconnect);
    mosquitto_message_callback_set(client, &MqttClient_t::_OnMessage);
    mosquitto_publish_callback_set(client, &MqttClient_t::_OnPublish);
    if (!settings.willTopic.isEmpty()) {
        const QByteArray topic = settings.willTopic.toUtf8();
        mosquitto_will_set(client, topic.constData(), int(settings.willPayload.size()),
                           settings.willPayload.constData(), Qos, true);
    }
    if (!settings.username.isEmpty())
        mosquitto_username_pw_set(
            client, settings.username.toUtf8().constData(),
            settings.password.isEmpty() ? nullptr : settings.password.toUtf8().constData());
    if (settings.tls) {
        const QByteArray caFile = settings.caFile.toLocal8Bit();
        const int result =
            settings.caFile.isEmpty()
                ? mosquitto_tls_set(client, nullptr, "/etc/ssl/certs", nullptr, nullptr, nullptr)
                : mosquitto_tls_set(client, caFile.constData(), nullptr, nullptr, nullptr, nullptr);
        if (result != MOSQ_ERR_SUCCESS)
            Log::_Write(Log::Error, QStringLiteral("TLS set-up failed: %1")
                                        .arg(QString::fromUtf8(mosquitto_strerror(result))));
    }

    housekeepingTimer->setInterval(HousekeepingMs);
    connect(housekeepingTimer, &QTimer::timeout, this, &MqttClient_t::_Housekeeping);
    reconnectTimer->setSingleShot(true);
    connect(reconnectTimer, &QTimer::timeout, this, &MqttClient_t::_Connect);
    stopTimer->setSingleShot(true);
    stopTimer->setInterval(StopWaitMs);
    connect(stopTimer, &QTimer::timeout, this, &MqttClient_t::_Finish);
    connectTimer->setSingleShot(true);
    connectTimer->setInterval(ConnectWaitMs);
    connect(connectTimer, &QTimer::timeout, this,
            [this] { _Lost(QStringLiteral("no answer within %1 s").arg(ConnectWaitMs / 1000)); });
}

MqttClient_t::~MqttClient_t() {
    _Unwatch();
    mosquitto_destroy(client);
}

void MqttClient_t::_Start() {
    housekeepingTimer->start();
    _Connect();
}

void MqttClient_t::_Connect() {
    if (stopping)
        return;
    _Unwatch();
    const int result = started ? mosquitto_reconnect_async(client)
                               : mosquitto_connect_async(client, settings.host.toUtf8().constData(),
                                                         settings.port, KeepAliveSeconds);
    started = true;
    connectTimer->start();
    if (result != MOSQ_ERR_SUCCESS && mosquitto_socket(client) < 0) {
        _Lost(QString::fromUtf8(mosquitto_strerror(result)));
        return;
    }
    _Watch();
}

void MqttClient_t::_Watch() {
    const int socket = mosquitto_socket(client);
    if (socket < 0)
        return;
    readNotifier = new QSocketNotifier(socket, QSocketNotifier::Read, this);
    connect(readNotifier, &QSocketNotifier::activated, this, &MqttClient_t::_Readable);
    writeNotifier = new QSocketNotifier(socket, QSocketNotifier::Write, this);
    connect(writeNotifier, &QSocketNotifier::activated, this, &MqttClient_t::_Writable);
}

void MqttClient_t::_Unwatch() {
    // Often called from one of the notifiers' own activations.
    for (QSocketNotifier *notifier : {readNotifier, writeNotifier}) {
        if (!notifier)
            continue;
        notifier->setEnabled(false);
        notifier->deleteLater();
    }
    readNotifier = nullptr;
    writeNotifier = nullptr;
}

void MqttClient_t::_Lost(const QString &why) {
    connectTimer->stop();
    _Unwatch();
    const bool wasConnected = connected;
    connected = false;
    if (stopping) {
        _Finish();
        return;
    }
    if (reconnectTimer->isActive())
        return;
    if (wasConnected)
        backoffMs = FirstBackoffMs;
    Log::_Write(wasConnected ? Log::Warning : Log::Notice,
                QStringLiteral("broker %1:%2: %3; trying again in %4 s")
                    .arg(settings.host)
                    .arg(settings.port)
                    .arg(why)
                    .arg(backoffMs / 1000.0));
    reconnectTimer->start(backoffMs);
    backoffMs = qMin(backoffMs * 2, LongestBackoffMs);
}

void MqttClient_t::_Check(int result, const char *step) {
    if (result == MOSQ_ERR_SUCCESS || result == MOSQ_ERR_CONN_PENDING)
        return;
    if (readNotifier || connected)
        _Lost(QStringLiteral("%1 (%2)").arg(QString::fromUtf8(mosquitto_strerror(result)),
                                            QLatin1String(step)));
}

void MqttClient_t::_Readable() {
    _Check(mosquitto_loop_read(client, 1), "read");
    _UpdateWriteWatch();
}

void MqttClient_t::_Writable() {
    _Check(mosquitto_loop_write(client, 1), "write");
    _UpdateWriteWatch();
}

void MqttClient_t::_Housekeeping() {
    if (readNotifier)
        _Check(mosquitto_loop_misc(client), "keep-alive");
    _UpdateWriteWatch();
}

void MqttClient_t::_UpdateWriteWatch() {
    if (writeNotifier)
        writeNotifier->setEnabled(mosquitto_want_write(client));
}

void MqttClient_t::_Publish(const QString &topic, const QByteArray &payload, bool retain, int qos) {
    if (!connected)
        return;
    const QByteArray topicBytes = topic.toUtf8();
    mosquitto_publish(client, nullptr, topicBytes.constData(), int(payload.size()),
                      payload.constData(), qos, retain);
    _UpdateWriteWatch();
}

void MqttClient_t::_Subscribe(const QString &pattern) {
    mosquitto_subscribe(client, nullptr, pattern.toUtf8().constData(), Qos);
    _UpdateWriteWatch();
}

void MqttClient_t::_Stop(const QString &topic, const QByteArray &payload) {
    if (stopping)
        return;
    stopping = true;
    reconnectTimer->stop();
    if (!connected) {
        QTimer::singleShot(0, this, &MqttClient_t::_Finish);
        return;
    }
    const QByteArray topicBytes = topic.toUtf8();
    mosquitto_publish(client, &stopMessageId, topicBytes.constData(), int(payload.size()),
                      payload.constData(), Qos, true);
    _UpdateWriteWatch();
    stopTimer->start();
}

void MqttClient_t::_Finish() {
    if (finished)
        return;
    finished = true;
    stopTimer->stop();
    connectTimer->stop();
    housekeepingTimer->stop();
    if (connected) {
        mosquitto_disconnect(client);
        // The DISCONNECT goes out now: nothing runs the loop after this.
        mosquitto_loop_write(client, 1);
    }
    connected = false;
    _Unwatch();
    emit stopped();
}

void MqttClient_t::_OnConnect(mosquitto *, void *self, int result) {
    auto *that = static_cast<MqttClient_t *>(self);
    if (result != 0) {
        that->_Lost(QStringLiteral("connection refused: %1")
                        .arg(QString::fromUtf8(mosquitto_connack_string(result))));
        return;
    }
    that->connectTimer->stop();
    that->connected = true;
    that->backoffMs = FirstBackoffMs;
    Log::_Write(Log::Info, QStringLiteral("connected to the broker %1:%2")
                               .arg(that->settings.host)
                               .arg(that->settings.port));
    emit that->connectedToBroker();
}

void MqttClient_t::_OnDisconnect(mosquitto *, void *self, int result) {
    auto *that = static_cast<MqttClient_t *>(self);
    if (that->finished)
        return;
    that->_Lost(
        QStringLiteral("connection lost (%1)").arg(QString::fromUtf8(mosquitto_strerror(result))));
}

void MqttClient_t::_OnMessage(mosquitto *, void *self, const mosquitto_message *message) {
    auto *that = static_cast<MqttClient_t *>(self);
    const QByteArray payload(static_cast<const char *>(message->payload),
                             message->payloadlen > 0 ? message->payloadlen : 0);
    emit that->messageReceived(QString::fromUtf8(message->topic), payload);
}

void MqttClient_t::_OnPublish(mosquitto *, void *self, int messageId) {
    auto *that = static_cast<MqttClient_t *>(self);
    if (that->stopping && messageId == that->stopMessageId)
        QTimer::singleShot(0, that, &MqttClient_t::_Finish);
}
