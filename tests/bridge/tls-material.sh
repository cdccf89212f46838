#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Throwaway TLS material for the bridge's tests, in DIR: a CA (ca.pem), a
# server certificate for 127.0.0.1 (server.pem, server.key), a client
# certificate (client.pem, client.key) and the same client key encrypted
# (client-encrypted.key, passphrase "secret"), all signed by that CA.
#   tls-material.sh DIR
set -eu
cd "$1"
key() { openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$1" 2>/dev/null; }
key ca.key
openssl req -x509 -new -key ca.key -out ca.pem -days 2 -subj /CN=ternix36-test-ca
sign() { # NAME SUBJECT EXTENSION
    key "$1.key"
    openssl req -new -key "$1.key" -out "$1.csr" -subj "$2"
    printf '%s\n' "$3" >"$1.ext"
    openssl x509 -req -in "$1.csr" -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 \
        -extfile "$1.ext" -out "$1.pem" 2>/dev/null
}
sign server /CN=127.0.0.1 "subjectAltName=IP:127.0.0.1"
sign client /CN=ternix36-bridge "extendedKeyUsage=clientAuth"
openssl pkey -in client.key -aes256 -passout pass:secret -out client-encrypted.key
# Root-only, as a careful administrator keeps them.
chmod 600 ./*
