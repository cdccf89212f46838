// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/BridgeOptions.h"

#include <QCommandLineParser>
#include <QFile>
#include <QUrl>

namespace {
constexpr quint16 MqttPort = 1883;
constexpr quint16 MqttsPort = 8883;

bool _ValidTopicBase(const QString &topic) {
    return !topic.isEmpty() && !topic.startsWith(u'/') && !topic.endsWith(u'/') &&
           !topic.contains(u'+') && !topic.contains(u'#') && !topic.contains(QChar(0));
}
} // namespace

bool BridgeOptions_t::_Parse(const QStringList &arguments, BridgeOptions_t *options, QString *error,
                             bool *help, QString *helpText) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Publishes the TERNIX36 nodes of one link to an MQTT broker, with Home "
                       "Assistant discovery, and passes the broker's commands on to them."));
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Shows this help."));
    const QCommandLineOption interfaceOption(
        QStringLiteral("interface"), QStringLiteral("The network interface of the nodes' link."),
        QStringLiteral("IF"));
    const QCommandLineOption probeOption(
        QStringLiteral("probe-every"),
        QStringLiteral("Seconds between discovery probes (default 60)."), QStringLiteral("SECONDS"),
        QStringLiteral("60"));
    const QCommandLineOption brokerOption(
        QStringLiteral("broker"),
        QStringLiteral("mqtt://HOST[:PORT] or mqtts://HOST[:PORT] (default mqtt://localhost)."),
        QStringLiteral("URL"), QStringLiteral("mqtt://localhost"));
    const QCommandLineOption caOption(
        QStringLiteral("ca-file"),
        QStringLiteral("Certificate authorities for mqtts:// (default: the system's)."),
        QStringLiteral("FILE"));
    const QCommandLineOption userOption(QStringLiteral("username"),
                                        QStringLiteral("User name at the broker."),
                                        QStringLiteral("NAME"));
    const QCommandLineOption passwordOption(
        QStringLiteral("password-file"),
        QStringLiteral("File whose first line is the password at the broker."),
        QStringLiteral("FILE"));
    const QCommandLineOption baseOption(QStringLiteral("base-topic"),
                                        QStringLiteral("Topic of the nodes (default ternix36)."),
                                        QStringLiteral("TOPIC"), QStringLiteral("ternix36"));
    const QCommandLineOption discoveryOption(
        QStringLiteral("discovery-prefix"),
        QStringLiteral("Home Assistant's discovery prefix (default homeassistant)."),
        QStringLiteral("PREFIX"), QStringLiteral("homeassistant"));
    parser.addOptions({helpOption, interfaceOption, probeOption, brokerOption, caOption, userOption,
                       passwordOption, baseOption, discoveryOption});

    *help = false;
    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return false;
    }
    if (parser.isSet(helpOption)) {
        *help = true;
        *helpText = parser.helpText();
        return true;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first());
        return false;
    }

    options->interfaceName = parser.value(interfaceOption);
    if (options->interfaceName.isEmpty()) {
        *error = QStringLiteral("--interface IF is required");
        return false;
    }

    bool ok = false;
    options->probeEverySeconds = parser.value(probeOption).toInt(&ok);
    if (!ok || options->probeEverySeconds < 1 || options->probeEverySeconds > 86400) {
        *error = QStringLiteral("--probe-every takes whole seconds from 1 to 86400");
        return false;
    }

    const QUrl broker(parser.value(brokerOption), QUrl::StrictMode);
    const QString scheme = broker.scheme();
    if (!broker.isValid() || (scheme != u"mqtt" && scheme != u"mqtts") || broker.host().isEmpty() ||
        !(broker.path().isEmpty() || broker.path() == u"/") || !broker.userInfo().isEmpty()) {
        *error = QStringLiteral("--broker takes mqtt://HOST[:PORT] or mqtts://HOST[:PORT], not %1")
                     .arg(parser.value(brokerOption));
        return false;
    }
    options->tls = scheme == u"mqtts";
    options->brokerHost = broker.host();
    options->brokerPort = quint16(broker.port(options->tls ? MqttsPort : MqttPort));
    options->caFile = parser.value(caOption);
    if (!options->caFile.isEmpty() && !options->tls) {
        *error = QStringLiteral("--ca-file needs an mqtts:// broker");
        return false;
    }

    options->username = parser.value(userOption);
    if (parser.isSet(passwordOption)) {
        QFile file(parser.value(passwordOption));
        if (!file.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("cannot read the password file %1: %2")
                         .arg(file.fileName(), file.errorString());
            return false;
        }
        QByteArray line = file.readLine();
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        options->password = QString::fromUtf8(line);
        if (options->username.isEmpty()) {
            *error = QStringLiteral("--password-file needs --username");
            return false;
        }
    }

    options->baseTopic = parser.value(baseOption);
    options->discoveryPrefix = parser.value(discoveryOption);
    if (!_ValidTopicBase(options->baseTopic) || !_ValidTopicBase(options->discoveryPrefix)) {
        *error = QStringLiteral("--base-topic and --discovery-prefix take a topic without "
                                "wildcards and without a leading or trailing /");
        return false;
    }
    return true;
}
