// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// The bridge's command line, checked.
struct BridgeOptions_t {
    QStringList interfaceNames; // as `ip link` shows them, each once
    // Names the bridge in its topics and in every node's identifiers, so that
    // several bridges share one broker.
    QString bridgeId;
    int probeEverySeconds = 60;
    int maxNodes = 3000;
    QString brokerHost;
    quint16 brokerPort = 1883;
    bool tls = false;
    QString caFile;
    QString certFile; // the client certificate, with keyFile
    QString keyFile;
    QString username;
    QString password; // read from --password-file, never given on the command line
    QString baseTopic = QStringLiteral("ternix36");
    QString discoveryPrefix = QStringLiteral("homeassistant");

    // The options from arguments (argv[0] first); defaultBridgeId stands for
    // an absent --bridge-id. On a bad argument returns false with the reason
    // in `error`; `--help` sets `help` and `helpText`.
    static bool _Parse(const QStringList &arguments, const QString &defaultBridgeId,
                       BridgeOptions_t *options, QString *error, bool *help, QString *helpText);
};
