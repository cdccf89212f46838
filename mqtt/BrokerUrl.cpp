// SPDX-License-Identifier: GPL-3.0-or-later
#include "mqtt/BrokerUrl.h"

#include <QFile>
#include <QUrl>

namespace {
constexpr quint16 MqttPort = 1883;
constexpr quint16 MqttsPort = 8883;
} // namespace

bool BrokerUrl_t::_Parse(const QString &text, bool userAllowed, const QString &option,
                         BrokerUrl_t *url, QString *error) {
    const QUrl broker(text, QUrl::StrictMode);
    const QString scheme = broker.scheme();
    const bool userGiven = !broker.userInfo().isEmpty();
    if (!broker.isValid() || (scheme != u"mqtt" && scheme != u"mqtts") || broker.host().isEmpty() ||
        !(broker.path().isEmpty() || broker.path() == u"/") ||
        (userGiven &&
         (!userAllowed || !broker.password().isEmpty() || broker.userName().isEmpty()))) {
        *error = QStringLiteral("%1 takes %2, not %3")
                     .arg(option,
                          userAllowed ? QStringLiteral("mqtt[s]://[USER@]HOST[:PORT]")
                                      : QStringLiteral("mqtt://HOST[:PORT] or mqtts://HOST[:PORT]"),
                          text);
        return false;
    }
    url->tls = scheme == u"mqtts";
    url->host = broker.host();
    url->port = quint16(broker.port(url->tls ? MqttsPort : MqttPort));
    url->username = broker.userName();
    return true;
}

bool _ReadPasswordFile(const QString &path, QString *password, QString *error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read the password file %1: %2")
                     .arg(file.fileName(), file.errorString());
        return false;
    }
    QByteArray line = file.readLine();
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    *password = QString::fromUtf8(line);
    return true;
}
