// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/MqttClient.h"

#include "bridge/Log.h"
#include "bridge/TlsFiles.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>
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
// Where Debian keeps the system's certificate authorities.
constexpr char SystemCaPath[] = "/etc/ssl/certs";

struct LibraryUse_t {
    LibraryUse_t()
        : result(mosquitto_lib_init()) {}
    ~LibraryUse_t() { mosquitto_lib_cleanup(); }
    int result;
};

QString _Text(int result) {
    return QString::fromUtf8(mosquitto_strerror(result));
}

} // namespace

MqttClient_t::MqttClient_t(const Settings_t &settings, QObject *parent)
    : QObject(parent)
    , settings(settings)
    , housekeepingTimer(new QTimer(this))
    , stateTimer(new QTimer(this))
    , backoffMs(FirstBackoffMs) {
    housekeepingTimer->setInterval(HousekeepingMs);
    connect(housekeepingTimer, &QTimer::timeout, this, &MqttClient_t::_Housekeeping);
    stateTimer->setSingleShot(true);
    connect(stateTimer, &QTimer::timeout, this, &MqttClient_t::_StateTimeout);
}

MqttClient_t::~MqttClient_t() {
    _Unwatch();
    if (client)
        mosquitto_destroy(client);
}

bool MqttClient_t::_Start(QString *error) {
    if (state != State_t::Idle)
        return true;
    if (!_SetUp(error)) {
        _Enter(State_t::Stopped);
        return false;
    }
    housekeepingTimer->start();
    _Connect();
    return true;
}

bool MqttClient_t::_SetUp(QString *error) {
    static LibraryUse_t library;
    if (library.result != MOSQ_ERR_SUCCESS) {
        *error = QStringLiteral("cannot start libmosquitto: %1").arg(_Text(library.result));
        return false;
    }
    client = mosquitto_new(settings.clientId.toUtf8().constData(), true, this);
    if (!client) {
        *error = QStringLiteral("cannot create an MQTT client: %1")
                     .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    const auto failed = [error](int result, const char *step) {
        if (result == MOSQ_ERR_SUCCESS)
            return false;
        *error =
            QStringLiteral("MQTT set-up failed (%1): %2").arg(QLatin1String(step), _Text(result));
        return true;
    };
    if (failed(mosquitto_int_option(client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311),
               "protocol version"))
        return false;
    mosquitto_connect_callback_set(client, &MqttClient_t::_OnConnect);
    mosquitto_disconnect_callback_set(client, &MqttClient_t::_OnDisconnect);
    mosquitto_message_callback_set(client, &MqttClient_t::_OnMessage);
    mosquitto_publish_callback_set(client, &MqttClient_t::_OnPublish);
    if (!settings.willTopic.isEmpty()) {
        const QByteArray topic = settings.willTopic.toUtf8();
        if (failed(mosquitto_will_set(client, topic.constData(), int(settings.willPayload.size()),
                                      settings.willPayload.constData(), Qos, true),
                   "last will"))
            return false;
    }
    if (!settings.username.isEmpty() &&
        failed(mosquitto_username_pw_set(
                   client, settings.username.toUtf8().constData(),
                   settings.password.isEmpty() ? nullptr : settings.password.toUtf8().constData()),
               "user name"))
        return false;
    return !settings.tls || _SetUpTls(error);
}

bool MqttClient_t::_SetUpTls(QString *error) {
    if (!TlsFiles::_Usable(settings.caFile, QLatin1String(SystemCaPath), settings.certFile,
                           settings.keyFile, error))
        return false;
    const QByteArray caFile = settings.caFile.toLocal8Bit();
    const QByteArray certFile = settings.certFile.toLocal8Bit();
    const QByteArray keyFile = settings.keyFile.toLocal8Bit();
    const auto orNull = [](const QByteArray &path) {
        return path.isEmpty() ? nullptr : path.constData();
    };
    const int result =
        mosquitto_tls_set(client, orNull(caFile), caFile.isEmpty() ? SystemCaPath : nullptr,
                          orNull(certFile), orNull(keyFile), &TlsFiles::_NoPassphrase);
    if (result != MOSQ_ERR_SUCCESS) {
        *error = QStringLiteral("TLS set-up failed: %1").arg(_Text(result));
        return false;
    }
    return true;
}

void MqttClient_t::_Connect() {
    _Unwatch();
    lastLibraryError.clear();
    // libmosquitto says why a TLS handshake failed only in its log.
    mosquitto_log_callback_set(client, &MqttClient_t::_OnLog);
    const int result = mosquitto_connect_async(client, settings.host.toUtf8().constData(),
                                               settings.port, KeepAliveSeconds);
    if (result == MOSQ_ERR_SUCCESS || mosquitto_socket(client) >= 0) {
        _Watch();
        _Enter(State_t::Connecting, ConnectWaitMs);
        return;
    }
    _Lost(result == MOSQ_ERR_TLS && !lastLibraryError.isEmpty()
              ? QStringLiteral("TLS: %1").arg(lastLibraryError)
              : _Text(result));
}

void MqttClient_t::_Enter(State_t next, int timeoutMs) {
    state = next;
    if (timeoutMs >= 0)
        stateTimer->start(timeoutMs);
    else
        stateTimer->stop();
}

void MqttClient_t::_StateTimeout() {
    switch (state) {
    case State_t::Connecting:
        _Lost(QStringLiteral("no answer within %1 s").arg(ConnectWaitMs / 1000));
        break;
    case State_t::Waiting:
        _Connect();
        break;
    case State_t::Stopping:
        _Finish();
        break;
    default:
        break;
    }
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
    _Unwatch();
    switch (state) {
    case State_t::Stopping:
        _Finish();
        return;
    case State_t::Waiting:
    case State_t::Stopped:
        return;
    case State_t::Connected:
        backoffMs = FirstBackoffMs;
        break;
    default:
        break;
    }
    Log::_Write(state == State_t::Connected ? Log::Warning : Log::Notice,
                QStringLiteral("broker %1:%2: %3; trying again in %4 s")
                    .arg(settings.host)
                    .arg(settings.port)
                    .arg(why)
                    .arg(backoffMs / 1000.0));
    _Enter(State_t::Waiting, backoffMs);
    backoffMs = qMin(backoffMs * 2, LongestBackoffMs);
}

bool MqttClient_t::_Succeeded(int result, const char *step) {
    if (result == MOSQ_ERR_SUCCESS)
        return true;
    const QString failure = QStringLiteral("%1 failed: %2").arg(QLatin1String(step), _Text(result));
    if (!loggedFailures.contains(failure)) {
        loggedFailures.insert(failure);
        Log::_Write(Log::Warning, QStringLiteral("broker: %1").arg(failure));
    }
    return false;
}

void MqttClient_t::_Loop(int result, const char *step) {
    if (result == MOSQ_ERR_SUCCESS || result == MOSQ_ERR_CONN_PENDING)
        return;
    if (state == State_t::Connecting || state == State_t::Connected || state == State_t::Stopping) {
        QString why = QStringLiteral("%1 (%2)").arg(_Text(result), QLatin1String(step));
        if (result == MOSQ_ERR_TLS && !lastLibraryError.isEmpty())
            why += QStringLiteral(": ") + lastLibraryError;
        _Lost(why);
    }
}

void MqttClient_t::_Readable() {
    _Loop(mosquitto_loop_read(client, 1), "read");
    _UpdateWriteWatch();
}

void MqttClient_t::_Writable() {
    _Loop(mosquitto_loop_write(client, 1), "write");
    _UpdateWriteWatch();
}

void MqttClient_t::_Housekeeping() {
    if (readNotifier)
        _Loop(mosquitto_loop_misc(client), "keep-alive");
    _UpdateWriteWatch();
}

void MqttClient_t::_UpdateWriteWatch() {
    if (writeNotifier)
        writeNotifier->setEnabled(mosquitto_want_write(client));
}

void MqttClient_t::_Publish(const QString &topic, const QByteArray &payload, bool retain, int qos) {
    if (state != State_t::Connected)
        return;
    const QByteArray topicBytes = topic.toUtf8();
    _Succeeded(mosquitto_publish(client, nullptr, topicBytes.constData(), int(payload.size()),
                                 payload.constData(), qos, retain),
               "publish");
    _UpdateWriteWatch();
}

void MqttClient_t::_Subscribe(const QString &pattern) {
    if (state != State_t::Connected)
        return;
    _Succeeded(mosquitto_subscribe(client, nullptr, pattern.toUtf8().constData(), Qos),
               "subscribe");
    _UpdateWriteWatch();
}

void MqttClient_t::_Stop(const QString &topic, const QByteArray &payload) {
    switch (state) {
    case State_t::Stopping:
    case State_t::Stopped:
        return;
    case State_t::Connected:
        break;
    default:
        _Enter(State_t::Stopping);
        QTimer::singleShot(0, this, &MqttClient_t::_Finish);
        return;
    }
    const QByteArray topicBytes = topic.toUtf8();
    const bool sent =
        _Succeeded(mosquitto_publish(client, &stopMessageId, topicBytes.constData(),
                                     int(payload.size()), payload.constData(), Qos, true),
                   "publish");
    _UpdateWriteWatch();
    _Enter(State_t::Stopping, sent ? StopWaitMs : 0);
}

void MqttClient_t::_Finish() {
    if (state == State_t::Stopped)
        return;
    _Enter(State_t::Stopped);
    housekeepingTimer->stop();
    if (client && mosquitto_socket(client) >= 0) {
        _Succeeded(mosquitto_disconnect(client), "disconnect");
        // The DISCONNECT goes out now: nothing runs the loop after this.
        _Succeeded(mosquitto_loop_write(client, 1), "disconnect");
    }
    _Unwatch();
    emit stopped();
}

void MqttClient_t::_OnConnect(mosquitto *, void *self, int result) {
    auto *that = static_cast<MqttClient_t *>(self);
    if (that->state != State_t::Connecting)
        return;
    if (result != 0) {
        that->_Lost(QStringLiteral("connection refused: %1")
                        .arg(QString::fromUtf8(mosquitto_connack_string(result))));
        return;
    }
    mosquitto_log_callback_set(that->client, nullptr);
    that->_Enter(State_t::Connected);
    that->backoffMs = FirstBackoffMs;
    that->loggedFailures.clear();
    Log::_Write(Log::Info, QStringLiteral("connected to the broker %1:%2%3")
                               .arg(that->settings.host)
                               .arg(that->settings.port)
                               .arg(that->settings.tls ? QStringLiteral(" with TLS") : QString()));
    emit that->connectedToBroker();
}

void MqttClient_t::_OnDisconnect(mosquitto *, void *self, int result) {
    auto *that = static_cast<MqttClient_t *>(self);
    if (that->state == State_t::Stopped)
        return;
    that->_Lost(QStringLiteral("connection lost (%1)").arg(_Text(result)));
}

void MqttClient_t::_OnMessage(mosquitto *, void *self, const mosquitto_message *message) {
    auto *that = static_cast<MqttClient_t *>(self);
    const QByteArray payload(static_cast<const char *>(message->payload),
                             message->payloadlen > 0 ? message->payloadlen : 0);
    emit that->messageReceived(QString::fromUtf8(message->topic), payload, message->retain);
}

void MqttClient_t::_OnPublish(mosquitto *, void *self, int messageId) {
    auto *that = static_cast<MqttClient_t *>(self);
    if (that->state == State_t::Stopping && messageId == that->stopMessageId)
        QTimer::singleShot(0, that, &MqttClient_t::_Finish);
}

void MqttClient_t::_OnLog(mosquitto *, void *self, int level, const char *text) {
    if (!(level & (MOSQ_LOG_ERR | MOSQ_LOG_WARNING)))
        return;
    // "Error: Unable to load client key file ...", then OpenSSL's lines.
    QString &error = static_cast<MqttClient_t *>(self)->lastLibraryError;
    if (!error.isEmpty())
        error += QStringLiteral("; ");
    error += QString::fromUtf8(text);
}
