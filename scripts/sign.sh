#!/usr/bin/env bash
# Signs a built Setup.exe with Authenticode (osslsigncode), in place.
#
#   SETUP_SIGN_CERTIFICATE   a PKCS#12 file (.pfx) with the certificate and its key
#   SETUP_SIGN_PASSWORD      its password
#   SETUP_SIGN_TIMESTAMP     optional: an RFC 3161 time-stamping server's address,
#                            so that the signature outlives the certificate
#
# Without a certificate the file stays unsigned, and that is no failure.
set -euo pipefail
file="$1"
if [ -z "${SETUP_SIGN_CERTIFICATE:-}" ]; then
    echo "$file: not signed (no SETUP_SIGN_CERTIFICATE)"
    exit 0
fi
timestamp=()
if [ -n "${SETUP_SIGN_TIMESTAMP:-}" ]; then
    timestamp=(-ts "$SETUP_SIGN_TIMESTAMP")
fi
osslsigncode sign -pkcs12 "$SETUP_SIGN_CERTIFICATE" -pass "${SETUP_SIGN_PASSWORD:-}" \
    -n "Corvex Printer Driver - Setup" -h sha256 "${timestamp[@]}" \
    -in "$file" -out "$file.signed" >/dev/null
mv "$file.signed" "$file"
echo "$file: signed with $(basename "$SETUP_SIGN_CERTIFICATE")"
