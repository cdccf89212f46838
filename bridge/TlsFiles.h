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

} // namespace TlsFiles
