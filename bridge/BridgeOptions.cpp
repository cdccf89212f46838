// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/BridgeOptions.h"

#include "mqtt/BrokerUrl.h"

#include <QCommandLineParser>

namespace {
constexpr int MostNodes = 1000000;

bool _HasTopicWildcards(const QString &text) {
    return text.contains(u'+') || text.contains(u'#') || text.contains(QChar(0));
}

bool _ValidTopicBase(const QString &topic) {
    return !topic.isEmpty() && !topic.startsWith(u'/') && !topic.endsWith(u'/') &&
           !_HasTopicWildcards(topic);
}

// One level of a topic: the bridge's id and the interface names.
bool _ValidTopicLevel(const QString &level) {
    return !level.isEmpty() && !level.contains(u'/') && !_HasTopicWildcards(level);
}
} // namespace

bool BridgeOptions_t::_Parse(const QStringList &arguments, const QString &defaultBridgeId,
                             BridgeOptions_t *options, QString *error, bool *help,
                             QString *helpText) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Publishes the TERNIX36 nodes of one or more links to an MQTT broker, with "
                       "Home Assistant discovery, and passes the broker's commands on to them."));
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Shows this help."));
    const QCommandLineOption interfaceOption(
        QStringLiteral("interface"),
        QStringLiteral("A network interface of the nodes' links; give one per link."),
        QStringLiteral("IF"));
    const QCommandLineOption bridgeIdOption(
        QStringLiteral("bridge-id"),
        QStringLiteral("Names this bridge in its topics and identifiers (default: the host "
                       "name)."),
        QStringLiteral("ID"));
    const QCommandLineOption probeOption(
        QStringLiteral("probe-every"),
        QStringLiteral("Seconds between discovery probes (default 60)."), QStringLiteral("SECONDS"),
        QStringLiteral("60"));
    const QCommandLineOption maxNodesOption(
        QStringLiteral("max-nodes"),
        QStringLiteral("Nodes at most; new senders beyond them are ignored (default 3000)."),
        QStringLiteral("N"), QStringLiteral("3000"));
    const QCommandLineOption brokerOption(
        QStringLiteral("broker"),
        QStringLiteral("mqtt://HOST[:PORT] or mqtts://HOST[:PORT] (default mqtt://localhost)."),
        QStringLiteral("URL"), QStringLiteral("mqtt://localhost"));
    const QCommandLineOption caOption(
        QStringLiteral("ca-file"),
        QStringLiteral("Certificate authorities for mqtts:// (default: the system's)."),
        QStringLiteral("FILE"));
    const QCommandLineOption certOption(
        QStringLiteral("cert"),
        QStringLiteral("Client certificate for mqtts:// (PEM), with --key."),
        QStringLiteral("FILE"));
    const QCommandLineOption keyOption(
        QStringLiteral("key"),
        QStringLiteral("Private key of the client certificate (PEM, not encrypted)."),
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
    parser.addOptions({helpOption, interfaceOption, bridgeIdOption, probeOption, maxNodesOption,
                       brokerOption, caOption, certOption, keyOption, userOption, passwordOption,
                       baseOption, discoveryOption});

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

    options->interfaceNames.clear();
    for (const QString &name : parser.values(interfaceOption)) {
        if (!_ValidTopicLevel(name)) {
            *error = QStringLiteral("--interface %1: not an interface name").arg(name);
            return false;
        }
        if (options->interfaceNames.contains(name)) {
            *error = QStringLiteral("--interface %1 is given twice").arg(name);
            return false;
        }
        options->interfaceNames.append(name);
    }
    if (options->interfaceNames.isEmpty()) {
        *error = QStringLiteral("--interface IF is required");
        return false;
    }

    options->bridgeId =
        parser.isSet(bridgeIdOption) ? parser.value(bridgeIdOption) : defaultBridgeId;
    if (!_ValidTopicLevel(options->bridgeId)) {
        *error = QStringLiteral("--bridge-id takes a topic level: not empty, without / + #");
        return false;
    }

    bool ok = false;
    options->probeEverySeconds = parser.value(probeOption).toInt(&ok);
    if (!ok || options->probeEverySeconds < 1 || options->probeEverySeconds > 86400) {
        *error = QStringLiteral("--probe-every takes whole seconds from 1 to 86400");
        return false;
    }
    options->maxNodes = parser.value(maxNodesOption).toInt(&ok);
    if (!ok || options->maxNodes < 1 || options->maxNodes > MostNodes) {
        *error = QStringLiteral("--max-nodes takes a whole number from 1 to %1").arg(MostNodes);
        return false;
    }

    BrokerUrl_t broker;
    if (!BrokerUrl_t::_Parse(parser.value(brokerOption), false, QStringLiteral("--broker"), &broker,
                             error))
        return false;
    options->tls = broker.tls;
    options->brokerHost = broker.host;
    options->brokerPort = broker.port;
    options->caFile = parser.value(caOption);
    options->certFile = parser.value(certOption);
    options->keyFile = parser.value(keyOption);
    if (!options->tls &&
        (parser.isSet(caOption) || parser.isSet(certOption) || parser.isSet(keyOption))) {
        *error = QStringLiteral("--ca-file, --cert and --key need an mqtts:// broker");
        return false;
    }
    if (options->certFile.isEmpty() != options->keyFile.isEmpty()) {
        *error = QStringLiteral("--cert and --key go together");
        return false;
    }

    options->username = parser.value(userOption);
    if (parser.isSet(passwordOption)) {
        if (!_ReadPasswordFile(parser.value(passwordOption), &options->password, error))
            return false;
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
