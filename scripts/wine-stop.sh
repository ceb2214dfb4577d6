#!/usr/bin/env bash
# Stops the wineserver (and with it every Wine program) and the Xvfb of a build folder, as left
# running by wine-run.sh after CTest was run by hand. scripts/test.sh does this by itself.
# Usage: wine-stop.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=scripts/wine-env.sh
source "$here/wine-env.sh"
(($# == 1)) || tovra_die "usage: wine-stop.sh BUILD_DIR"
[[ -d $1 ]] || exit 0
build_dir=$(cd "$1" && pwd)
tovra_stop_wineserver "$build_dir"
tovra_stop_xvfb "$build_dir"
