// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// The bridge's command line, checked.
struct BridgeOptions_t {
    QString interfaceName; // as `ip link` shows it
    int probeEverySeconds = 60;
    QString brokerHost;
    quint16 brokerPort = 1883;
    bool tls = false;
    QString caFile;
    QString username;
    QString password; // read from --password-file, never given on the command line
    QString baseTopic = QStringLiteral("ternix36");
    QString discoveryPrefix = QStringLiteral("homeassistant");

    // The options from arguments (argv[0] first). On a bad argument returns
    // false with the reason in `error`; `--help` sets `help` and `helpText`.
    static bool _Parse(const QStringList &arguments, BridgeOptions_t *options, QString *error,
                       bool *help, QString *helpText);
};
