# shellcheck shell=bash
# Sourced by the other scripts: the Wine environment of one build folder.
#
# Every build folder has its own 32-bit prefix (BUILD_DIR/wineprefix), its own persistent
# wineserver and, for tests, its own Xvfb, so that builds in different folders can run their
# tests at the same time without meeting. State files live in the build folder:
#   wineprefix/.tovra-ready   the prefix is complete (written last, so a half-made one is redone)
#   xvfb.pid, xvfb.display    the Xvfb started for the tests of this folder
#   wine-session.display      the DISPLAY the running wineserver's desktop was started with
#   *.lock                    flock files; see tovra_lock for why they are never inherited

tovra_say() { printf '[tovra] %s\n' "$*" >&2; }
tovra_die() {
    printf '[tovra] error: %s\n' "$*" >&2
    exit 1
}

# Opens and locks BUILD_DIR/NAME.lock on a new descriptor, stored in the variable named $3.
# Every program started while the lock is held gets that descriptor closed ({fd}>&-): a
# wineserver or Xvfb that inherited it would hold the lock for its whole life and every later
# caller would wait.
tovra_lock() {
    local dir=$1 name=$2 __var=$3 __fd
    exec {__fd}>"$dir/$name.lock"
    flock "$__fd"
    printf -v "$__var" '%s' "$__fd"
}
tovra_unlock() {
    local fd=$1
    eval "exec $fd>&-"
}

# A process that was killed but not reaped (PID 1 does not reap here) still answers kill -0.
tovra_alive() {
    local pid=$1 state
    [[ -n $pid && -r /proc/$pid/stat ]] || return 1
    state=$(sed 's/^.*) //' "/proc/$pid/stat" 2>/dev/null | cut -d' ' -f1) || return 1
    [[ -n $state && $state != Z && $state != X ]]
}

tovra_wine_exports() {
    local build_dir=$1
    # TOVRA_WINEARCH=win64: for a 64-bit build of the tests on a kernel that cannot run 32-bit
    # programs (no IA-32 emulation), where the 32-bit Wine loader fails with "Exec format error".
    export WINEPREFIX="$build_dir/wineprefix" WINEARCH=${TOVRA_WINEARCH:-win32} WINEDEBUG=-all
}

# Creates BUILD_DIR/wineprefix once; later calls return at once. Safe to call from many
# processes at the same time (CTest starts tests in parallel on a fresh folder).
tovra_ensure_prefix() {
    local build_dir=$1 lock
    tovra_wine_exports "$build_dir"
    [[ -e $WINEPREFIX/.tovra-ready ]] && return 0
    mkdir -p "$build_dir"
    tovra_lock "$build_dir" wineprefix lock
    if [[ ! -e $WINEPREFIX/.tovra-ready ]]; then
        tovra_say "creating the Wine prefix $WINEPREFIX (once, about 10 s)"
        # A prefix without the marker was interrupted half-way: start again from nothing.
        # Its wineserver may still be running; it must go before the files do.
        if [[ -d $WINEPREFIX ]]; then
            wineserver -k {lock}>&- >/dev/null 2>&1 || true
            rm -rf "$WINEPREFIX"
        fi
        # No DISPLAY: nothing from the first boot may appear on the user's screen.
        # Tovra needs neither Mono nor Gecko; left enabled, the first boot asks to download them.
        if ! env -u DISPLAY WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i {lock}>&- </dev/null >"$build_dir/wineprefix-create.log" 2>&1; then
            tovra_unlock "$lock"
            tovra_die "wineboot -i failed for $WINEPREFIX; see $build_dir/wineprefix-create.log"
        fi
        # An empty debugger: a crashing program ends with its exit code instead of a 100-line dump.
        env -u DISPLAY wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
            /v Debugger /t REG_SZ /d '' /f {lock}>&- </dev/null >>"$build_dir/wineprefix-create.log" 2>&1 ||
            {
                tovra_unlock "$lock"
                tovra_die "could not set the AeDebug debugger in $WINEPREFIX"
            }
        # The registry reaches the disk only when the wineserver ends.
        wineserver -w {lock}>&- </dev/null >/dev/null 2>&1 || true
        touch "$WINEPREFIX/.tovra-ready"
        tovra_say "Wine prefix ready"
    fi
    tovra_unlock "$lock"
}

# Copies Wine's own fonts (Tahoma for the dialogs, Marlett for the caption buttons) into the
# prefix's Fonts folder, where every Windows has them: this Wine does not find them in its data
# folder, and without Marlett a caption shows a letter "r" where the close cross belongs. For the
# programs a person looks at; the tests' prefixes are left as they are.
tovra_install_wine_fonts() {
    local fonts=$WINEPREFIX/drive_c/windows/Fonts
    mkdir -p "$fonts"
    cp -u /usr/share/wine/fonts/*.ttf "$fonts/" 2>/dev/null ||
        tovra_say "Wine's fonts (package fonts-wine) are missing: captions and dialogs will use substitutes"
}

# Starts the build folder's Xvfb unless it runs, and prints its DISPLAY (":N"). Its screen is
# 1280x1024, or TOVRA_XVFB_SCREEN (WIDTHxHEIGHTxDEPTH) for a session that needs more.
tovra_ensure_xvfb() {
    local build_dir=$1 lock pid display deadline
    if [[ -r $build_dir/xvfb.pid && -r $build_dir/xvfb.display ]]; then
        pid=$(<"$build_dir/xvfb.pid")
        display=$(<"$build_dir/xvfb.display")
        if tovra_alive "$pid" && [[ -S /tmp/.X11-unix/X${display#:} ]]; then
            printf '%s\n' "$display"
            return 0
        fi
    fi
    command -v Xvfb >/dev/null || tovra_die "Xvfb is not installed: run scripts/setup.sh"
    tovra_lock "$build_dir" xvfb lock
    if [[ -r $build_dir/xvfb.pid && -r $build_dir/xvfb.display ]]; then
        pid=$(<"$build_dir/xvfb.pid")
        display=$(<"$build_dir/xvfb.display")
        if tovra_alive "$pid" && [[ -S /tmp/.X11-unix/X${display#:} ]]; then
            tovra_unlock "$lock"
            printf '%s\n' "$display"
            return 0
        fi
    fi
    rm -f "$build_dir/xvfb.pid" "$build_dir/xvfb.display" "$build_dir/xvfb.number"
    # -displayfd lets the server pick a free display number itself and tell us once it accepts
    # connections, so two build folders never race for the same number. setsid and the
    # redirections keep it out of CTest's process group and pipes.
    setsid Xvfb -displayfd 3 -screen 0 "${TOVRA_XVFB_SCREEN:-1280x1024x24}" -nolisten tcp -noreset \
        3>"$build_dir/xvfb.number" {lock}>&- </dev/null >"$build_dir/xvfb.log" 2>&1 &
    pid=$!
    deadline=$((SECONDS + 20))
    until [[ -s $build_dir/xvfb.number ]] && grep -q '^[0-9][0-9]*$' "$build_dir/xvfb.number"; do
        if ! tovra_alive "$pid" || ((SECONDS > deadline)); then
            kill "$pid" 2>/dev/null || true
            tovra_unlock "$lock"
            tovra_die "Xvfb did not start; see $build_dir/xvfb.log"
        fi
        sleep 0.05
    done
    display=":$(<"$build_dir/xvfb.number")"
    printf '%s\n' "$pid" >"$build_dir/xvfb.pid"
    printf '%s\n' "$display" >"$build_dir/xvfb.display"
    tovra_unlock "$lock"
    printf '%s\n' "$display"
}

tovra_stop_xvfb() {
    local build_dir=$1 pid deadline
    [[ -r $build_dir/xvfb.pid ]] || return 0
    pid=$(<"$build_dir/xvfb.pid")
    if tovra_alive "$pid"; then
        kill "$pid" 2>/dev/null || true
        deadline=$((SECONDS + 10))
        while tovra_alive "$pid" && ((SECONDS <= deadline)); do sleep 0.05; done
        tovra_alive "$pid" && kill -9 "$pid" 2>/dev/null
    fi
    rm -f "$build_dir/xvfb.pid" "$build_dir/xvfb.display" "$build_dir/xvfb.number"
}

# Keeps one wineserver alive for the prefix, with its desktop on DISPLAY. Without it, every
# program pays for a new server and CTest waits about 2.5 s for the pipes that Wine's
# background processes inherit. A server already running on another display (say, the run
# command's, while the tests want their Xvfb) is stopped first: one prefix has one desktop.
tovra_ensure_wineserver() {
    local build_dir=$1 display=$2 lock rc
    tovra_wine_exports "$build_dir"
    tovra_lock "$build_dir" wineserver lock
    # "-p" answers 2 at once when a server for this prefix is already running.
    rc=0
    wineserver -p {lock}>&- </dev/null >/dev/null 2>&1 || rc=$?
    if ((rc == 2)) && [[ -r $build_dir/wine-session.display && $(<"$build_dir/wine-session.display") != "$display" ]]; then
        wineserver -k {lock}>&- </dev/null >/dev/null 2>&1 || true
        rc=0
        wineserver -p {lock}>&- </dev/null >/dev/null 2>&1 || rc=$?
    fi
    if ((rc == 0)); then
        # The folder's Xvfb has no window manager, and Wine waits 2 s for one each time a shown
        # window with a caption is hidden or destroyed (a dialog closing, the program ending with
        # a box open): there Wine manages tovra's windows itself. Only tovra's: the tray tests
        # read Wine's own tray window as the window manager leaves it. On the user's display,
        # the user's window manager does. TOVRA_WINE_MANAGED (Y or N) decides instead.
        local managed=Y tests_display=0
        [[ -r $build_dir/xvfb.display && $(<"$build_dir/xvfb.display") == "$display" ]] && tests_display=1
        ((tests_display)) && managed=N
        managed=${TOVRA_WINE_MANAGED:-$managed}
        DISPLAY=$display wine reg add 'HKCU\Software\Wine\AppDefaults\tovra.exe\X11 Driver' /v Managed \
            /d "$managed" /f {lock}>&- </dev/null >/dev/null 2>&1 || true
        # Start Wine's services now, with no pipes to hold: started by the first test instead,
        # they would keep its output pipe open for the server's whole life and CTest would wait
        # for that test until its time-out.
        DISPLAY=$display wineboot {lock}>&- </dev/null >/dev/null 2>&1 || true
        if ((tests_display)); then
            tovra_start_desktop "$display" {lock}>&-
        fi
        printf '%s\n' "$display" >"$build_dir/wine-session.display"
    elif ((rc != 2)); then
        tovra_unlock "$lock"
        tovra_die "wineserver -p failed ($rc) for $WINEPREFIX"
    fi
    tovra_unlock "$lock"
}

# Starts the desktop process (explorer.exe /desktop) of the tests' display for the server's whole
# life, with no pipes. Left to Wine, the first program that opens a window starts it, handing it
# that program's output pipe, and it stays while any program with a window runs: CTest then waited
# for that test, its "PASSED" long written, until the display tests around it stopped or its
# time-out came. Started here, it stays because start.exe waits on it (a desktop with no program
# left goes within a second). Waits until it has its windows on DISPLAY: a test that came first
# would start a second one, and the one that lost would take the kept one with it.
tovra_start_desktop() {
    local display=$1 pid deadline
    DISPLAY=$display setsid wine explorer.exe /desktop </dev/null >/dev/null 2>&1 &
    pid=$!
    deadline=$((SECONDS + 30))
    until DISPLAY=$display xdotool search --classname '^explorer\.exe$' >/dev/null 2>&1; do
        if ! tovra_alive "$pid" || ((SECONDS > deadline)); then
            tovra_say "warning: Wine's desktop process did not come up on $display"
            return 0
        fi
        sleep 0.05
    done
}

tovra_stop_wineserver() {
    local build_dir=$1
    [[ -d $build_dir/wineprefix ]] || return 0
    (
        tovra_wine_exports "$build_dir"
        wineserver -k </dev/null >/dev/null 2>&1 || true
    )
    rm -f "$build_dir/wine-session.display"
}

# Runs `bash SCRIPT --inside ARGS...` in a network namespace of its own (with its own mount and
# process namespaces), for tests that give Wine the interfaces they need. Wine reads the interfaces
# in its device process, which belongs to the wineserver's session: the namespace needs a
# wineserver of its own, so it gets a copy of the build's prefix. Needs root or unprivileged user
# namespaces; exits 77 (CTest's skip) only when neither works.
tovra_run_in_network_namespace() {
    local build_dir=$1 script=$2
    shift 2
    local isolate=(unshare --net --mount --pid --fork --kill-child --mount-proc)
    ((EUID == 0)) || isolate+=(--user --map-root-user)
    if ! "${isolate[@]}" true 2>/dev/null; then
        echo "skipped: network namespaces are not available here (${isolate[*]} failed)"
        exit 77
    fi
    tovra_ensure_prefix "$build_dir"
    local work
    work=$(mktemp -d "$build_dir/netns.XXXXXX")
    # shellcheck disable=SC2064 # the folder is fixed now, on purpose
    trap "rm -rf '$work'" EXIT
    cp -a "$WINEPREFIX" "$work/prefix"
    WINEPREFIX=$work/prefix env -u DISPLAY "${isolate[@]}" bash "$script" --inside "$@"
}
