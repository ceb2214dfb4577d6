#!/usr/bin/env bash
# The release command: installs what is missing, builds the release configuration (optimised,
# stripped, linked -static, no tests) and ends with the setup program, whose path it prints last.
#
# Environment:
#   RELEASE_BUILD_DIR   the build folder (default: build/release in the checkout)
#   JOBS                parallel compile jobs (default 2)
#   SIGN_PFX, SIGN_PASSWORD, SIGN_TIMESTAMP_URL
#                       sign tovra.exe, uninstall.exe and the setup (scripts/sign.sh)
#   WINGET_INSTALLER_URL
#                       where the setup will be downloaded from, for the winget manifest
#
# Beside the setup it writes the three winget manifest files of the package Brannik.Tovra.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=$(realpath -m "${RELEASE_BUILD_DIR:-$repo/build/release}")
jobs=${JOBS:-2}
# The most a release tovra.exe may weigh: a download of a tray tool should stay small.
size_limit=600000

say() { printf '[package] %s\n' "$*" >&2; }
die() {
    printf '[package] error: %s\n' "$*" >&2
    exit 1
}

"$repo/scripts/setup.sh"

cd "$repo"
mkdir -p "$build_dir"
say "configure release in $build_dir"
cmake --preset release -B "$build_dir" >"$build_dir/configure.log" 2>&1 || {
    cat "$build_dir/configure.log" >&2
    die "configuring the release failed"
}
say "build"
# The setup is made again every time, so that it is signed, or not, as this run asks.
rm -f "$build_dir"/Tovra-*-setup.exe
cmake --build "$build_dir" --parallel "$jobs" || die "building the release failed"

program=$build_dir/app/tovra.exe
size=$(stat -c %s "$program")
say "tovra.exe: $size bytes (at most $size_limit)"
((size <= size_limit)) || die "tovra.exe is $size bytes, over the limit of $size_limit"
# TLS and DPAPI are loaded when first used: imported, they cost every user megabytes at start.
imports=$(i686-w64-mingw32-objdump -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p')
if grep -qix -e secur32.dll -e crypt32.dll <<<"$imports"; then
    die "tovra.exe imports secur32.dll or crypt32.dll, which it must load only when needed"
fi
for file in Tovra.chm Tovra.html; do
    [[ -f $build_dir/app/$file ]] || die "$file is missing beside tovra.exe"
done

setups=("$build_dir"/Tovra-*-setup.exe)
setup=${setups[0]}
[[ -f $setup ]] || die "no setup program in $build_dir"
say "setup: $(stat -c %s "$setup") bytes"

# The winget manifests (schema 1.6): the setup is NSIS's, per user, silent with /S, and the
# Uninstall key it writes is "Tovra".
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build_dir/CMakeCache.txt")
[[ -n $version ]] || die "the project's version is not in $build_dir/CMakeCache.txt"
url=${WINGET_INSTALLER_URL:-https://example.com/REPLACE-WITH-THE-DOWNLOAD-ADDRESS/$(basename "$setup")}
sha256=$(sha256sum "$setup" | cut -d' ' -f1)
manifests=$build_dir/winget
rm -rf "$manifests"
mkdir -p "$manifests"
cat >"$manifests/Brannik.Tovra.yaml" <<YAML
# yaml-language-server: \$schema=https://aka.ms/winget-manifest.version.1.6.0.schema.json
PackageIdentifier: Brannik.Tovra
PackageVersion: $version
DefaultLocale: en-US
ManifestType: version
ManifestVersion: 1.6.0
YAML
cat >"$manifests/Brannik.Tovra.installer.yaml" <<YAML
# yaml-language-server: \$schema=https://aka.ms/winget-manifest.installer.1.6.0.schema.json
PackageIdentifier: Brannik.Tovra
PackageVersion: $version
InstallerType: nullsoft
Scope: user
InstallModes:
- interactive
- silent
InstallerSwitches:
  Silent: /S
  SilentWithProgress: /S
UpgradeBehavior: install
ProductCode: Tovra
Installers:
- Architecture: x86
  InstallerUrl: $url
  InstallerSha256: ${sha256^^}
ManifestType: installer
ManifestVersion: 1.6.0
YAML
cat >"$manifests/Brannik.Tovra.locale.en-US.yaml" <<YAML
# yaml-language-server: \$schema=https://aka.ms/winget-manifest.defaultLocale.1.6.0.schema.json
PackageIdentifier: Brannik.Tovra
PackageVersion: $version
PackageLocale: en-US
Publisher: Brannik
PackageName: Tovra
License: Proprietary
ShortDescription: Publishes this PC's IP address on your web site.
Description: Tovra sits in the notification area, finds out the PC's IP address and uploads a page with it to your FTP server every 5 minutes, so that you can reach your PC from elsewhere.
Tags:
- ip-address
- ftp
- tray
ManifestType: defaultLocale
ManifestVersion: 1.6.0
YAML
say "winget manifests: $manifests"
if [[ -z ${WINGET_INSTALLER_URL:-} ]]; then
    say "  their download address is a placeholder: set WINGET_INSTALLER_URL, or edit it"
fi

if [[ -n ${SIGN_PFX:-} ]]; then
    say "signed with $(basename "$SIGN_PFX"): tovra.exe, uninstall.exe and the setup" \
        "${SIGN_TIMESTAMP_URL:+(time-stamped by $SIGN_TIMESTAMP_URL)}"
else
    say "the release is UNSIGNED: Windows SmartScreen will warn whoever runs the setup"
    say "  (set SIGN_PFX and SIGN_PASSWORD, and SIGN_TIMESTAMP_URL, to sign it; see README.md)"
fi
printf '%s\n' "$setup"
