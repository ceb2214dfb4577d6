#!/usr/bin/env bash
# Signs one Windows program in place with Authenticode (SHA-256), when a certificate is given:
#   SIGN_PFX            the PKCS #12 file with the code-signing certificate and its key
#   SIGN_PASSWORD       its password
#   SIGN_TIMESTAMP_URL  optional: an RFC 3161 time-stamp server, so that the signature stays valid
#                       after the certificate expires
# Without SIGN_PFX it does nothing and succeeds: an unsigned build is a normal build. The build
# calls it for tovra.exe and the setup, and NSIS for the uninstaller it makes.
#
# Usage: sign.sh FILE [COPY]   (COPY: where to keep a copy of the signed file, for checking it)
set -euo pipefail

file=$1
copy=${2:-}

if [[ -z ${SIGN_PFX:-} ]]; then
    exit 0
fi
[[ -r $SIGN_PFX ]] || {
    printf '[sign] error: SIGN_PFX %s cannot be read\n' "$SIGN_PFX" >&2
    exit 1
}
command -v osslsigncode >/dev/null || {
    printf '[sign] error: osslsigncode is not installed (scripts/setup.sh installs it)\n' >&2
    exit 1
}

signed=$(mktemp "$file.XXXXXX")
trap 'rm -f "$signed"' EXIT
# The password goes through a pipe, never on a command line that any process could read.
args=(sign -pkcs12 "$SIGN_PFX" -readpass /dev/stdin -h sha256 -n Tovra -in "$file" -out "$signed")
if [[ -n ${SIGN_TIMESTAMP_URL:-} ]]; then
    args+=(-ts "$SIGN_TIMESTAMP_URL")
fi
# osslsigncode refuses to overwrite its output file.
rm -f "$signed"
if ! printf '%s' "${SIGN_PASSWORD:-}" | osslsigncode "${args[@]}" >"$signed.log" 2>&1; then
    cat "$signed.log" >&2
    rm -f "$signed.log"
    printf '[sign] error: signing %s failed\n' "$file" >&2
    exit 1
fi
rm -f "$signed.log"
# Over the file itself, which keeps its mode.
cat "$signed" >"$file"
if [[ -n $copy ]]; then
    cp -f "$file" "$copy"
fi
printf '[sign] signed %s\n' "$(basename "$file")" >&2
