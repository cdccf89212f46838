// SPDX-License-Identifier: GPL-3.0-or-later
#include "mqtt/TlsFiles.h"

#include <QFile>
#include <QFileInfo>

#include <memory>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>

namespace {
using Context_t = std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)>;

// OpenSSL's reasons since the last call, oldest first.
QString _OpenSslErrors() {
    QStringList reasons;
    while (const unsigned long code = ERR_get_error()) {
        const char *reason = ERR_reason_error_string(code);
        reasons.append(reason ? QString::fromUtf8(reason) : QStringLiteral("error %1").arg(code));
    }
    return reasons.isEmpty() ? QStringLiteral("unknown reason")
                             : reasons.join(QStringLiteral(", "));
}

bool _CanRead(const QString &path, const QString &what, QString *error) {
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        return true;
    *error = QStringLiteral("cannot read the %1 %2: %3").arg(what, path, file.errorString());
    return false;
}

} // namespace

namespace TlsFiles {

int _NoPassphrase(char *, int, int, void *) {
    return 0;
}

bool _Usable(const QString &caFile, const QString &caPath, const QString &certFile,
             const QString &keyFile, QString *error) {
    if (caFile.isEmpty() && !QFileInfo(caPath).isDir()) {
        *error = QStringLiteral("no certificate authorities in %1: give --ca-file").arg(caPath);
        return false;
    }
    if ((!caFile.isEmpty() && !_CanRead(caFile, QStringLiteral("CA file"), error)) ||
        (!certFile.isEmpty() && (!_CanRead(certFile, QStringLiteral("client certificate"), error) ||
                                 !_CanRead(keyFile, QStringLiteral("client key"), error))))
        return false;

    ERR_clear_error();
    const Context_t context(SSL_CTX_new(TLS_client_method()), &SSL_CTX_free);
    if (!context) {
        *error = QStringLiteral("cannot start TLS: %1").arg(_OpenSslErrors());
        return false;
    }
    const QByteArray ca = caFile.toLocal8Bit();
    const QByteArray path = caPath.toLocal8Bit();
    if (SSL_CTX_load_verify_locations(context.get(), caFile.isEmpty() ? nullptr : ca.constData(),
                                      caFile.isEmpty() ? path.constData() : nullptr) != 1) {
        *error = QStringLiteral("no certificate authority in %1: %2")
                     .arg(caFile.isEmpty() ? caPath : caFile, _OpenSslErrors());
        return false;
    }
    if (certFile.isEmpty())
        return true;
    if (SSL_CTX_use_certificate_chain_file(context.get(), certFile.toLocal8Bit().constData()) !=
        1) {
        *error = QStringLiteral("cannot use the client certificate %1: %2")
                     .arg(certFile, _OpenSslErrors());
        return false;
    }
    const std::unique_ptr<BIO, decltype(&BIO_free)> keyBio(
        BIO_new_file(keyFile.toLocal8Bit().constData(), "r"), &BIO_free);
    const std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(
        keyBio ? PEM_read_bio_PrivateKey(keyBio.get(), nullptr, &TlsFiles::_NoPassphrase, nullptr)
               : nullptr,
        &EVP_PKEY_free);
    if (!key) {
        *error = QStringLiteral("cannot use the client key %1: no unencrypted PEM key (%2)")
                     .arg(keyFile, _OpenSslErrors());
        return false;
    }
    if (SSL_CTX_use_PrivateKey(context.get(), key.get()) != 1 ||
        SSL_CTX_check_private_key(context.get()) != 1) {
        *error = QStringLiteral("the client key %1 is not the key of the certificate %2 (%3)")
                     .arg(keyFile, certFile, _OpenSslErrors());
        return false;
    }
    return true;
}

} // namespace TlsFiles
