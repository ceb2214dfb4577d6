#!/usr/bin/env bash
# CTest's emulator for the Windows programs, and the way to start one by hand: runs it under Wine
# in the build folder's own prefix, on the build folder's own Xvfb, with the wineserver kept
# alive between programs. Creates whatever of these is missing.
# Usage: wine-run.sh BUILD_DIR PROGRAM.exe [ARGS...]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=scripts/wine-env.sh
source "$here/wine-env.sh"

(($# >= 2)) || tovra_die "usage: wine-run.sh BUILD_DIR PROGRAM.exe [ARGS...]"
mkdir -p "$1"
build_dir=$(cd "$1" && pwd)
shift

tovra_ensure_prefix "$build_dir"
# Tests always get the folder's Xvfb, even when the user has a screen: no test window may appear
# on it or depend on what it shows, and the tray tests need a display of known size.
DISPLAY=$(tovra_ensure_xvfb "$build_dir")
export DISPLAY
unset XAUTHORITY
tovra_ensure_wineserver "$build_dir" "$DISPLAY"
exec wine "$@"
