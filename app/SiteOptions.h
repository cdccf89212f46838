// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mqtt/BrokerUrl.h"

#include <QString>
#include <QStringList>

// The command line of a console for a whole site, through its broker:
//   --site mqtt[s]://[USER@]HOST[:PORT] [--ca-file F] [--cert F --key F]
//   [--password-file F] [--base-topic TOPIC]
// Started without any of them, the window is the one-link program it always
// was, and takes no option.
struct SiteOptions_t {
    BrokerUrl_t broker;
    QString caFile;
    QString certFile;
    QString keyFile;
    QString password;
    bool passwordGiven = false; // a password file was read; else a dialog asks
    QString baseTopic = QStringLiteral("ternix36");

    enum class Parsed_t { LinkMode, SiteMode, Help, Error };
    // arguments: what Qt left of the command line, argv[0] first. Help and
    // Error give their text in `text`.
    static Parsed_t _Parse(const QStringList &arguments, SiteOptions_t *options, QString *text);
};
