#!/usr/bin/env bash
# Makes the final Setup.exe from the linker's output: signed with Authenticode
# (osslsigncode) when a certificate is given, an unsigned copy otherwise.
#
#   sign.sh LINKED OUTPUT    the build's step, run on every build
#   sign.sh FILE             signs FILE in place
#
#   SETUP_SIGN_CERTIFICATE   a PKCS#12 file (.pfx) with the certificate and its key
#   SETUP_SIGN_PASSWORD      its password
#   SETUP_SIGN_TIMESTAMP     optional: an RFC 3161 time-stamping server's address,
#                            so that the signature outlives the certificate
#
# The build runs this step every time, so OUTPUT follows this build's
# certificate settings, not those of the build that last linked the program.
# OUTPUT.how records what OUTPUT was made from (the linked file, the
# certificate, the server, OUTPUT itself); while nothing of it changed the step
# does nothing, and a time-stamping server is asked once, not on every build.
#
# What osslsigncode makes of an input that is signed already depends on its
# version and options (-nest adds the new signature beside the old one), so a
# signed input has its signature removed first: the output carries exactly one.
set -euo pipefail
linked="$1"
output="${2:-$1}"
record="$output.how"

digest() { sha256sum "$1" | cut -d' ' -f1; }

settings="linked $(digest "$linked")"
if [ -n "${SETUP_SIGN_CERTIFICATE:-}" ]; then
    settings+=$'\n'"certificate $SETUP_SIGN_CERTIFICATE $(digest "$SETUP_SIGN_CERTIFICATE")"
    settings+=$'\n'"timestamp ${SETUP_SIGN_TIMESTAMP:-none}"
else
    settings+=$'\n'"unsigned"
fi
if [ "$linked" != "$output" ] && [ -f "$output" ] && [ -f "$record" ] &&
   [ "$(cat "$record")" = "$settings"$'\n'"output $(digest "$output")" ]; then
    exit 0
fi

work="$output.partial"
rm -f "$work" "$work.unsigned" "$record"
trap 'rm -f "$work" "$work.unsigned"' EXIT
unsigned="$linked"
if osslsigncode extract-signature -in "$linked" -out "$work" >/dev/null 2>&1; then
    osslsigncode remove-signature -in "$linked" -out "$work.unsigned" >/dev/null
    unsigned="$work.unsigned"
fi
rm -f "$work"

if [ -z "${SETUP_SIGN_CERTIFICATE:-}" ]; then
    cp "$unsigned" "$work"
    how="not signed (no SETUP_SIGN_CERTIFICATE)"
else
    timestamp=()
    if [ -n "${SETUP_SIGN_TIMESTAMP:-}" ]; then
        timestamp=(-ts "$SETUP_SIGN_TIMESTAMP")
    fi
    osslsigncode sign -pkcs12 "$SETUP_SIGN_CERTIFICATE" -pass "${SETUP_SIGN_PASSWORD:-}" \
        -n "Corvex Printer Driver - Setup" -h sha256 "${timestamp[@]}" \
        -in "$unsigned" -out "$work" >/dev/null
    how="signed with $(basename "$SETUP_SIGN_CERTIFICATE")"
fi
chmod +x "$work"
mv -f "$work" "$output"
if [ "$linked" != "$output" ]; then
    printf '%s\noutput %s\n' "$settings" "$(digest "$output")" >"$record"
fi
echo "$output: $how"
