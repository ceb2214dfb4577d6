#!/usr/bin/env bash
# The run command: installs what is missing, builds the Windows configuration and starts Tovra
# under Wine in the build folder's own prefix, on your X display when there is one, otherwise on
# an Xvfb of its own. Stays in the foreground until Tovra ends (tray menu "Exit", or Ctrl-C), then
# stops the wineserver and the Xvfb that it started.
#
# Environment: BUILD_ROOT or WIN_BUILD_DIR as for scripts/test.sh; JOBS (default 2).
# Arguments are passed to tovra.exe (for example "uninstall").
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=scripts/wine-env.sh
source "$repo/scripts/wine-env.sh"

build_root=$(realpath -m "${BUILD_ROOT:-$repo/build}")
win_dir=$(realpath -m "${WIN_BUILD_DIR:-$build_root/win}")
jobs=${JOBS:-2}

"$repo/scripts/setup.sh"

cd "$repo"
tovra_say "configure win in $win_dir"
cmake --preset win -B "$win_dir" >/dev/null || tovra_die "configuring win failed"

if ! ninja -C "$win_dir" -t query tovra >/dev/null 2>&1; then
    tovra_say "build win"
    cmake --build "$win_dir" --parallel "$jobs" || tovra_die "building win failed"
    tovra_say "built; there is nothing to start yet: the program (target 'tovra') does not exist"
    exit 0
fi
tovra_say "build win (target tovra)"
cmake --build "$win_dir" --parallel "$jobs" --target tovra || tovra_die "building tovra failed"
exe=$(find "$win_dir" -path "$win_dir/wineprefix" -prune -o -name tovra.exe -type f -print | head -n1)
[[ -n $exe ]] || tovra_die "the build succeeded but tovra.exe was not found under $win_dir"

# Set before anything is started, so that an interruption at any point leaves nothing behind.
started_xvfb=false
cleanup() {
    tovra_stop_wineserver "$win_dir"
    if $started_xvfb; then
        tovra_stop_xvfb "$win_dir"
    fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

tovra_ensure_prefix "$win_dir"
tovra_install_wine_fonts

# xdotool doubles as the test whether the display accepts us.
if [[ -n ${DISPLAY:-} ]] && xdotool getdisplaygeometry >/dev/null 2>&1; then
    tovra_say "starting Tovra on your display $DISPLAY"
else
    [[ -n ${DISPLAY:-} ]] && tovra_say "cannot open the display $DISPLAY"
    started_xvfb=true
    DISPLAY=$(tovra_ensure_xvfb "$win_dir")
    export DISPLAY
    unset XAUTHORITY
    tovra_say "no usable X display: starting Tovra on an Xvfb, DISPLAY=$DISPLAY" \
        "(see it with: DISPLAY=$DISPLAY import -window root shot.png)"
fi

tovra_ensure_wineserver "$win_dir" "$DISPLAY"
tovra_say "prefix $WINEPREFIX; settings are kept in its registry (HKEY_CURRENT_USER\\Software\\Brannik\\Tovra)"
tovra_say "running $exe (Ctrl-C stops it)"
# In the background, with a wait that a signal interrupts: Wine does not end a windowed program
# on SIGINT, so a Ctrl-C would otherwise wait for Tovra forever. The trap's cleanup ends it by
# stopping the wineserver.
wine "$exe" "$@" &
rc=0
wait $! || rc=$?
tovra_say "Tovra ended (exit code $rc)"
exit "$rc"
