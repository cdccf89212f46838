// SPDX-License-Identifier: GPL-3.0-or-later
#include "mqtt/MqttClient.h"

#include "mqtt/Log.h"
#include "mqtt/TlsFiles.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <mosquitto.h>
#include <poll.h>
#include <sys/socket.h>

namespace {
constexpr int KeepAliveSeconds = 30;
constexpr int HousekeepingMs = 1000;
constexpr int StopWaitMs = 2000;
constexpr qint64 StillTryingLogMs = 60000;
// As long as a link's pass over its socket: a flood of datagrams does not
// starve the broker's messages, nor they the datagrams.
constexpr qint64 ReadingTimeMs = 10;
// The kernel's share of what waits to be sent: enough for a broker across a
// slow link, small enough that a last message or a removal is not queued
// behind seconds of states.
constexpr int SendBufferBytes = 256 * 1024;
// What must not be lost: the last will, and what says the client is stopping.
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

QString _Duration(qint64 ms) {
    if (ms < 120000)
        return QStringLiteral("%1 s").arg(ms / 1000);
    return QStringLiteral("%1 min").arg(ms / 60000);
}

bool _SocketReadable(int socket) {
    pollfd watched = {socket, POLLIN, 0};
    return ::poll(&watched, 1, 0) > 0 && (watched.revents & POLLIN);
}

} // namespace

MqttClient_t::MqttClient_t(const Settings_t &settings, QObject *parent)
    : QObject(parent)
    , settings(settings)
    , housekeepingTimer(new QTimer(this))
    , stateTimer(new QTimer(this))
    , pauseMs(settings.firstPauseMs) {
    housekeepingTimer->setInterval(HousekeepingMs);
    connect(housekeepingTimer, &QTimer::timeout, this, &MqttClient_t::_Housekeeping);
    stateTimer->setSingleShot(true);
    connect(stateTimer, &QTimer::timeout, this, [this] { _On(Event_t::TimedOut); });
}

MqttClient_t::~MqttClient_t() {
    if (lookupId >= 0)
        QHostInfo::abortHostLookup(lookupId);
    _Unwatch();
    if (client)
        mosquitto_destroy(client);
}

bool MqttClient_t::_Start(QString *error) {
    if (state != State_t::Idle)
        return true;
    if (!_SetUp(error)) {
        _On(Event_t::Stop);
        return false;
    }
    housekeepingTimer->start();
    _On(Event_t::Start);
    return true;
}

MqttClient_t::State_t MqttClient_t::_Next(State_t state, Event_t event) {
    switch (state) {
    case State_t::Idle:
        return event == Event_t::Start  ? State_t::Connecting
               : event == Event_t::Stop ? State_t::Stopped
                                        : state;
    case State_t::Connecting:
        switch (event) {
        case Event_t::Accepted:
            return State_t::Connected;
        case Event_t::Refused:
        case Event_t::Failed:
        case Event_t::TimedOut:
            return State_t::Waiting;
        case Event_t::Stop:
            return State_t::Stopped;
        default:
            return state;
        }
    case State_t::Connected:
        return event == Event_t::Failed ? State_t::Waiting
               : event == Event_t::Stop ? State_t::Stopping
                                        : state;
    case State_t::Waiting:
        return event == Event_t::TimedOut ? State_t::Connecting
               : event == Event_t::Stop   ? State_t::Stopped
                                          : state;
    case State_t::Stopping:
        return event == Event_t::Delivered || event == Event_t::Failed || event == Event_t::TimedOut
                   ? State_t::Stopped
                   : state;
    case State_t::Stopped:
        break;
    }
    return state;
}

void MqttClient_t::_On(Event_t event, const QString &why) {
    const State_t previous = state;
    const State_t next = _Next(previous, event);
    if (next != previous)
        _Enter(next, previous, event, why);
}

// The new state is announced before its first step, which may already lead
// on to another state (a connection that fails at once).
void MqttClient_t::_Enter(State_t next, State_t previous, Event_t event, const QString &why) {
    state = next;
    stateTimer->stop();
    if (next != State_t::Connecting && lookupId >= 0) {
        QHostInfo::abortHostLookup(lookupId);
        lookupId = -1;
    }
    emit stateChanged(next);
    switch (next) {
    case State_t::Idle:
        break;
    case State_t::Connecting:
        ++tries;
        stateTimer->start(settings.connectWaitMs);
        _LookUp();
        break;
    case State_t::Connected:
        mosquitto_log_callback_set(client, nullptr);
        pauseMs = settings.firstPauseMs;
        loggedFailures.clear();
        if (outage.isValid())
            Log::_Write(Log::Notice, QStringLiteral("broker %1: connected again after %2 (%3 %4)")
                                         .arg(_Broker(), _Duration(outage.elapsed()))
                                         .arg(tries)
                                         .arg(tries == 1 ? "try" : "tries"));
        else
            Log::_Write(Log::Info, QStringLiteral("connected to the broker %1%2")
                                       .arg(_Broker(), settings.tls ? QStringLiteral(" with TLS")
                                                                    : QString()));
        outage.invalidate();
        tries = 0;
        emit connectedToBroker();
        break;
    case State_t::Waiting:
        _Unwatch();
        _LogFailure(previous, event, why);
        emit connectFailed(event == Event_t::Refused            ? Failure_t::Refused
                           : why.contains(QLatin1String("TLS")) ? Failure_t::Tls
                                                                : Failure_t::Unreachable,
                           event == Event_t::TimedOut ? QStringLiteral("no answer") : why);
        stateTimer->start(pauseMs);
        pauseMs = qMin(pauseMs * 2, settings.longestPauseMs);
        break;
    case State_t::Stopping:
        stateTimer->start(StopWaitMs);
        _SendLastMessage();
        break;
    case State_t::Stopped:
        housekeepingTimer->stop();
        _Unwatch();
        // Perhaps from within one of the library's callbacks, where its loop
        // must not be run.
        QTimer::singleShot(0, this, [this] {
            _Disconnect();
            emit stopped();
        });
        break;
    }
}

// Every outage is logged when it begins and ends, and once a minute in
// between with the latest reason. A refused login or an untrusted
// certificate needs a person, so every line is a warning.
void MqttClient_t::_LogFailure(State_t previous, Event_t event, const QString &why) {
    const QString reason =
        event == Event_t::TimedOut
            ? QStringLiteral("no answer within %1 s").arg(settings.connectWaitMs / 1000.0)
            : why;
    const QString retry = QStringLiteral("trying again in %1 s").arg(pauseMs / 1000.0);
    QString line;
    if (previous == State_t::Connected) {
        outage.start();
        tries = 0;
        line = QStringLiteral("connection lost (%1); %2").arg(reason, retry);
    } else if (!outage.isValid()) {
        outage.start();
        line = QStringLiteral("cannot connect (%1); %2").arg(reason, retry);
    } else if (sinceLogged.elapsed() >= StillTryingLogMs) {
        line = QStringLiteral("still not connected after %1 and %2 %3 (%4); %5")
                   .arg(_Duration(outage.elapsed()))
                   .arg(tries)
                   .arg(tries == 1 ? "try" : "tries")
                   .arg(reason, retry);
    } else {
        return;
    }
    sinceLogged.start();
    Log::_Write(Log::Warning, QStringLiteral("broker %1: %2").arg(_Broker(), line));
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

// libmosquitto looks the broker's name up itself, waiting for the answer: a
// name server that does not answer would hold everything up. The name is
// looked up here first, in Qt's lookup threads, and only a name that has an
// address goes to the library, which then finds it in the resolver's cache.
void MqttClient_t::_LookUp() {
    if (QHostAddress().setAddress(settings.host)) {
        _Connect();
        return;
    }
    lookupId = QHostInfo::lookupHost(settings.host, this, &MqttClient_t::_Resolved);
}

void MqttClient_t::_Resolved(const QHostInfo &info) {
    if (info.lookupId() != lookupId || state != State_t::Connecting)
        return;
    lookupId = -1;
    if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
        _On(Event_t::Failed,
            QStringLiteral("cannot look up %1: %2").arg(settings.host, info.errorString()));
        return;
    }
    _Connect();
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
        return;
    }
    _On(Event_t::Failed, _LibraryError(result));
}

void MqttClient_t::_SendLastMessage() {
    if (lastMessageTopic.isEmpty()) {
        _On(Event_t::Delivered);
        return;
    }
    const QByteArray topic = lastMessageTopic.toUtf8();
    const bool sent = _Succeeded(mosquitto_publish(client, &lastMessageId, topic.constData(),
                                                   int(lastMessagePayload.size()),
                                                   lastMessagePayload.constData(), Qos, true),
                                 "publish");
    if (!sent) {
        _On(Event_t::Failed);
        return;
    }
    _UpdateWriteWatch();
}

// A DISCONNECT, so that the broker does not publish the last will.
void MqttClient_t::_Disconnect() {
    if (!client || mosquitto_socket(client) < 0)
        return;
    _Succeeded(mosquitto_disconnect(client), "disconnect");
    // It goes out now: nothing runs the loop after this.
    _Succeeded(mosquitto_loop_write(client, 1), "disconnect");
}

void MqttClient_t::_Watch() {
    const int socket = mosquitto_socket(client);
    if (socket < 0)
        return;
    // Best effort: without it, the kernel's own size.
    ::setsockopt(socket, SOL_SOCKET, SO_SNDBUF, &SendBufferBytes, sizeof SendBufferBytes);
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
    _UpdateWriteWatch();
}

bool MqttClient_t::_Succeeded(int result, const char *step) {
    if (result == MOSQ_ERR_SUCCESS)
        return true;
    const QString failure = QStringLiteral("%1 failed: %2").arg(QLatin1String(step), _Text(result));
    if (!loggedFailures.contains(failure)) {
        loggedFailures.insert(failure);
        Log::_Write(Log::Warning, QStringLiteral("broker %1: %2").arg(_Broker(), failure));
    }
    return false;
}

bool MqttClient_t::_Loop(int result, const char *step) {
    if (result == MOSQ_ERR_SUCCESS || result == MOSQ_ERR_CONN_PENDING)
        return true;
    _On(Event_t::Failed, QStringLiteral("%1 (%2)").arg(_LibraryError(result), QLatin1String(step)));
    return false;
}

QString MqttClient_t::_LibraryError(int result) const {
    if (result == MOSQ_ERR_TLS && !lastLibraryError.isEmpty())
        return QStringLiteral("TLS: %1").arg(lastLibraryError);
    return _Text(result);
}

// libmosquitto reads one packet per call when nothing of ours waits for an
// answer: what the broker sent is read here while it lasts, within the time
// of a link's pass.
void MqttClient_t::_Readable() {
    QElapsedTimer reading;
    reading.start();
    while (_Loop(mosquitto_loop_read(client, 1), "read") && readNotifier &&
           reading.elapsed() < ReadingTimeMs && _SocketReadable(mosquitto_socket(client))) {
    }
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
    const bool waiting = writeNotifier && mosquitto_want_write(client);
    if (writeNotifier)
        writeNotifier->setEnabled(waiting);
    if (waiting != backlogged) {
        backlogged = waiting;
        emit backlogChanged(waiting);
    }
}

QString MqttClient_t::_Broker() const {
    return QStringLiteral("%1:%2").arg(settings.host).arg(settings.port);
}

void MqttClient_t::_SetPassword(const QString &password) {
    settings.password = password;
    if (client && !settings.username.isEmpty())
        _Succeeded(mosquitto_username_pw_set(client, settings.username.toUtf8().constData(),
                                             password.toUtf8().constData()),
                   "user name");
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

void MqttClient_t::_Subscribe(const QString &pattern, int qos) {
    if (state != State_t::Connected)
        return;
    _Succeeded(mosquitto_subscribe(client, nullptr, pattern.toUtf8().constData(), qos),
               "subscribe");
    _UpdateWriteWatch();
}

void MqttClient_t::_Stop(const QString &topic, const QByteArray &payload) {
    lastMessageTopic = topic;
    lastMessagePayload = payload;
    _On(Event_t::Stop);
}

void MqttClient_t::_OnConnect(mosquitto *, void *self, int result) {
    auto *that = static_cast<MqttClient_t *>(self);
    if (result != 0)
        that->_On(Event_t::Refused, QString::fromUtf8(mosquitto_connack_string(result)));
    else
        that->_On(Event_t::Accepted);
}

void MqttClient_t::_OnDisconnect(mosquitto *, void *self, int result) {
    static_cast<MqttClient_t *>(self)->_On(Event_t::Failed, _Text(result));
}

void MqttClient_t::_OnMessage(mosquitto *, void *self, const mosquitto_message *message) {
    auto *that = static_cast<MqttClient_t *>(self);
    const QByteArray payload(static_cast<const char *>(message->payload),
                             message->payloadlen > 0 ? message->payloadlen : 0);
    emit that->messageReceived(QString::fromUtf8(message->topic), payload, message->retain);
}

void MqttClient_t::_OnPublish(mosquitto *, void *self, int messageId) {
    auto *that = static_cast<MqttClient_t *>(self);
    if (that->state == State_t::Stopping && messageId == that->lastMessageId)
        that->_On(Event_t::Delivered);
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
