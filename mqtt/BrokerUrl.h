// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

// Where a broker is, as the bridge's --broker and the window's --site name it:
// mqtt://HOST[:PORT] in clear, mqtts://HOST[:PORT] with TLS, and, where a user
// name may be given, mqtt[s]://USER@HOST[:PORT].
struct BrokerUrl_t {
    QString host;
    quint16 port = 1883;
    bool tls = false;
    QString username; // empty when none was given

    // False with the reason in `error`; `option` names the option in it.
    static bool _Parse(const QString &text, bool userAllowed, const QString &option,
                       BrokerUrl_t *url, QString *error);
};

// The first line of a password file, without its line end.
bool _ReadPasswordFile(const QString &path, QString *password, QString *error);
