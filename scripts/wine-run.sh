#!/usr/bin/env bash
# Runs a Windows program under Wine in the build folder's own prefix.
# Usage: wine-run.sh BUILD_DIR PROGRAM.exe [ARGS...]
set -euo pipefail
build_dir=$1; shift
export WINEPREFIX="$build_dir/wineprefix" WINEARCH=win32 WINEDEBUG=-all
exec wine "$@"
