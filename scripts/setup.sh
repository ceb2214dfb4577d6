#!/usr/bin/env bash
# Installs what building, running and testing Tovra needs on Debian 12, and only what is missing.
# When everything is present it checks and returns within a second or two, so the run and test
# commands call it every time. Needs root, or sudo, only when something has to be installed.
set -euo pipefail

say() { printf '[setup] %s\n' "$*" >&2; }
die() {
    printf '[setup] error: %s\n' "$*" >&2
    exit 1
}

# Debian package names; wine32 is the 32-bit half that runs our i686 programs. nsis makes the
# installer (makensis), fp-utils compiles the help file (chmcmd) and lists it (chmls);
# python3-openssl (pyftpdlib's TLS) and vsftpd are the tests' FTP over TLS servers, nginx-light
# (it has the WebDAV methods) their WebDAV server; osslsigncode
# signs a release; fonts-wine gives scripts/run.sh the caption buttons' font.
packages=(
    cmake ninja-build
    mingw-w64 g++-mingw-w64-i686-posix
    wine wine32:i386 wine64 fonts-wine
    xvfb xauth xdotool imagemagick iproute2
    python3 python3-pyftpdlib openssl python3-openssl vsftpd nginx-light
    clang libclang-rt-14-dev clang-format
    googletest
    nsis fp-utils osslsigncode
)

# A package counts as present only when dpkg says "install ok installed": half-configured or
# removed-but-configured packages are reinstalled.
missing=()
if command -v dpkg-query >/dev/null; then
    while read -r name status; do
        [[ $status == installed ]] || missing+=("$name")
    done < <(for p in "${packages[@]}"; do
        printf '%s %s\n' "$p" "$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || echo absent)"
    done)
else
    die "dpkg-query not found: this script supports Debian 12 (and its derivatives) only"
fi

need_i386=false
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    need_i386=true
fi

if ((${#missing[@]} == 0)) && ! $need_i386; then
    say "all packages present"
else
    sudo=()
    if ((EUID != 0)); then
        command -v sudo >/dev/null || die "missing packages (${missing[*]}) and not root, and sudo is not installed"
        sudo=(sudo)
    fi
    if $need_i386; then
        say "adding the i386 architecture (wine32 needs it)"
        "${sudo[@]}" dpkg --add-architecture i386 || die "dpkg --add-architecture i386 failed"
    fi
    say "installing: ${missing[*]}"
    # The package lists are refreshed only here, when something is to be installed: an update
    # costs seconds to minutes and the lists on a fresh machine may be missing or stale.
    say "apt-get update"
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q </dev/null ||
        die "apt-get update failed (no network, or a broken source list?)"
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}" </dev/null ||
        die "apt-get install failed for: ${missing[*]}"
fi

# What the build and the tests call by name. A package can be installed and still not provide the
# command (an alternative not set, a broken install); better to stop here than in the middle of a
# build that would leave a half-built tree.
tools=(cmake ninja i686-w64-mingw32-g++-posix i686-w64-mingw32-gcc-posix i686-w64-mingw32-windres
    wine wineserver wineboot Xvfb xdotool import clang clang++ flock setsid makensis chmcmd chmls)
for tool in "${tools[@]}"; do
    command -v "$tool" >/dev/null || die "'$tool' is not on PATH although its package is installed"
done
[[ -f /usr/src/googletest/CMakeLists.txt ]] || die "GoogleTest sources missing from /usr/src/googletest"
# The test servers run on Debian's own interpreter: another python3 earlier on PATH may lack
# pyftpdlib.
/usr/bin/python3 -c 'import pyftpdlib' 2>/dev/null || die "/usr/bin/python3 cannot import pyftpdlib"
# wine32 is what runs 32-bit programs; without it every test would fail with a loader error.
[[ -x /usr/lib/wine/wine ]] || die "the 32-bit Wine loader /usr/lib/wine/wine is missing (wine32:i386)"
say "ready"
