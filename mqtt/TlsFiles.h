// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The certificate files of a TLS connection, tried as libmosquitto will use
// them (OpenSSL, no passphrase), before anything is sent: a set-up that fails
// here would make every connection fail, so the bridge stops instead.
namespace TlsFiles {

// caFile empty: the system's certificate authorities in caPath. certFile and
// keyFile both empty: no client certificate. False with the reason otherwise.
bool _Usable(const QString &caFile, const QString &caPath, const QString &certFile,
             const QString &keyFile, QString *error);

// OpenSSL's passphrase callback for a key: none, as no one is there to type
// one, so that an encrypted key fails instead of asking on the terminal.
int _NoPassphrase(char *buffer, int size, int writing, void *data);

} // namespace TlsFiles
