// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SiteOptions.h"

#include <QCommandLineParser>

SiteOptions_t::Parsed_t SiteOptions_t::_Parse(const QStringList &arguments, SiteOptions_t *options,
                                              QString *text) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Finds and controls the TERNIX36 nodes of one IPv6 link or, with --site, "
                       "of every link that the bridges of a site carry into one MQTT broker."));
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Shows this help."));
    const QCommandLineOption siteOption(
        QStringLiteral("site"),
        QStringLiteral("The site's broker: its bridges' nodes, on every link, in one window."),
        QStringLiteral("mqtt[s]://[USER@]HOST[:PORT]"));
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
    const QCommandLineOption passwordOption(
        QStringLiteral("password-file"),
        QStringLiteral("File whose first line is the password at the broker (else it is asked "
                       "for when the broker wants one)."),
        QStringLiteral("FILE"));
    const QCommandLineOption baseOption(
        QStringLiteral("base-topic"),
        QStringLiteral("Topic of the bridges' nodes (default ternix36)."), QStringLiteral("TOPIC"),
        QStringLiteral("ternix36"));
    const QList<QCommandLineOption> siteOptions = {siteOption, caOption,       certOption,
                                                   keyOption,  passwordOption, baseOption};
    parser.addOptions(siteOptions);
    parser.addOption(helpOption);

    // The program as it always was takes no option: whatever else Qt left is
    // not looked at.
    bool any = false;
    for (const QString &argument : arguments.mid(1))
        for (const QCommandLineOption &option : siteOptions + QList{helpOption})
            for (const QString &name : option.names())
                if (argument == QLatin1String("--") + name ||
                    argument.startsWith(QLatin1String("--") + name + u'=') ||
                    (name.size() == 1 && argument == QLatin1String("-") + name))
                    any = true;
    if (!any)
        return Parsed_t::LinkMode;

    if (!parser.parse(arguments)) {
        *text = parser.errorText();
        return Parsed_t::Error;
    }
    if (parser.isSet(helpOption)) {
        *text = parser.helpText();
        return Parsed_t::Help;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *text = QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first());
        return Parsed_t::Error;
    }
    if (!parser.isSet(siteOption)) {
        *text = QStringLiteral("--ca-file, --cert, --key, --password-file and --base-topic "
                               "go with --site");
        return Parsed_t::Error;
    }
    if (!BrokerUrl_t::_Parse(parser.value(siteOption), true, QStringLiteral("--site"),
                             &options->broker, text))
        return Parsed_t::Error;
    options->caFile = parser.value(caOption);
    options->certFile = parser.value(certOption);
    options->keyFile = parser.value(keyOption);
    if (!options->broker.tls &&
        (parser.isSet(caOption) || parser.isSet(certOption) || parser.isSet(keyOption))) {
        *text = QStringLiteral("--ca-file, --cert and --key need an mqtts:// site");
        return Parsed_t::Error;
    }
    if (options->certFile.isEmpty() != options->keyFile.isEmpty()) {
        *text = QStringLiteral("--cert and --key go together");
        return Parsed_t::Error;
    }
    if (parser.isSet(passwordOption)) {
        if (options->broker.username.isEmpty()) {
            *text = QStringLiteral("--password-file needs a user: --site mqtt://USER@HOST");
            return Parsed_t::Error;
        }
        if (!_ReadPasswordFile(parser.value(passwordOption), &options->password, text))
            return Parsed_t::Error;
        options->passwordGiven = true;
    }
    options->baseTopic = parser.value(baseOption);
    if (options->baseTopic.isEmpty() || options->baseTopic.startsWith(u'/') ||
        options->baseTopic.endsWith(u'/') || options->baseTopic.contains(u'+') ||
        options->baseTopic.contains(u'#')) {
        *text = QStringLiteral("--base-topic takes a topic without wildcards and without a "
                               "leading or trailing /");
        return Parsed_t::Error;
    }
    return Parsed_t::SiteMode;
}
