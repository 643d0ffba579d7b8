#!/usr/bin/env bash
# Makes a throwaway self-signed code-signing certificate for the test command:
# FOLDER/test-signing.pfx (password "test") and FOLDER/test-signing.pem to
# verify against. Never for a release.
set -euo pipefail
folder="$1"
mkdir -p "$folder"
if [ -f "$folder/test-signing.pfx" ]; then exit 0; fi
openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=Corvex Setup test signing/O=Test only" \
    -addext "extendedKeyUsage=codeSigning" -keyout "$folder/test-signing.key" -out "$folder/test-signing.pem" \
    2>/dev/null
openssl pkcs12 -export -inkey "$folder/test-signing.key" -in "$folder/test-signing.pem" -passout pass:test \
    -out "$folder/test-signing.pfx"
