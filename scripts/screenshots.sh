#!/usr/bin/env bash
# Makes the README's pictures from the real program: builds tovra.exe if needed, starts it under
# Wine on a virtual desktop in an Xvfb, lets its start-up check ask the (fake) IP echo sites and
# upload the page to a (local) FTP server, then drives it with tools/screenshots/shot-driver.exe
# and captures each state with ImageMagick's import, cropped to the window:
#   docs/screenshots/details.png connection.png advanced.png names.png dns-name.png about.png
#   tray-menu.png
# once for each display scale, set through the prefix's LogPixels: 96 DPI (100 percent) into
# docs/screenshots/, 144 (150 percent) and 192 (200 percent) into docs/screenshots/144dpi/ and
# 192dpi/. Each scale also leaves measure.txt there: the window's DPI awareness and the sizes of
# its parts as the program laid them out.
#
# Usage: scripts/screenshots.sh [BUILD_DIR]      (default build/shots-win; JOBS=N, default 2)
#   DPIS="96 144 192"   the scales to take (pixels per inch)
#   SHOTS_DIR=DIR       write the pictures under DIR instead of docs/screenshots
#
# Isolation, so that a test suite running at the same moment never notices:
# - the session has a Wine prefix, wineserver and Xvfb of its own under BUILD_DIR/screenshots,
#   never the prefix of the build folder's tests;
# - it runs in its own network, mount and process namespaces (unshare): the FTP server and proxy
#   listen on fixed ports no other program can see, "ftp.example.net" resolves to the loopback
#   only inside, and when the session ends, however it ends, the kernel stops every process it
#   started.
# Every run starts from the same settings and replaces the pictures only when all are made.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=scripts/wine-env.sh
source "$repo/scripts/wine-env.sh"

readonly site_host=ftp.example.net
readonly ftp_user=homepc
readonly ftp_password=k7-rainy-orchard
readonly echo_address=203.0.113.45 # a documentation address (RFC 5737), never a real user's
readonly ftp_port=21
readonly proxy_port=8080
readonly template_dir='C:\Web'
readonly template_name=ip-template.html
readonly shots=(details connection advanced names dns-name about tray-menu)

# Runs a Windows program of the session and prints its output without Wine's CR.
session_wine() {
    wine "$@" </dev/null | tr -d '\r'
}

# The session proper: everything below runs inside the namespaces, as their first process.
run_session() {
    local build_dir=$1 dpi=$2
    local exe=$build_dir/app/tovra.exe
    local out
    # Not local: the EXIT trap that uses them runs after this function has returned.
    state=$build_dir/screenshots
    driver=$build_dir/shot-driver/shot-driver.exe
    servers_pid="" tovra_pid=""
    out=$state/pictures/$dpi

    unset DISPLAY XAUTHORITY
    ip link set lo up
    mkdir -p "$state"
    printf '127.0.0.1 localhost\n127.0.0.1 %s\n' "$site_host" >"$state/hosts"
    mount --bind "$state/hosts" /etc/hosts

    stop_session() {
        local status=$?
        # What the screen showed when a step failed says more than the step's message.
        if ((status != 0)) && [[ -n ${DISPLAY:-} ]]; then
            import -window root "$state/failure.png" 2>/dev/null &&
                tovra_say "the screen when the session stopped early: $state/failure.png"
        fi
        if [[ -n $tovra_pid ]] && tovra_alive "$tovra_pid"; then
            session_wine "$driver" exit >/dev/null 2>&1 || true
            local deadline=$((SECONDS + 5))
            while tovra_alive "$tovra_pid" && ((SECONDS <= deadline)); do sleep 0.1; done
        fi
        tovra_stop_wineserver "$state"
        [[ -n $servers_pid ]] && kill "$servers_pid" 2>/dev/null
        tovra_stop_xvfb "$state"
    }
    trap stop_session EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM

    # In a new process namespace nothing of an earlier run can be alive, only its files; and a
    # process id written by it may now name one of ours.
    rm -f "$state/xvfb.pid" "$state/xvfb.display" "$state/xvfb.number" "$state/wine-session.display" \
        "$state/failure.png"
    tovra_ensure_prefix "$state"
    local drive_c=$WINEPREFIX/drive_c

    tovra_install_wine_fonts

    # The settings a user would have saved, the display's scale, the Wine desktop (a 1024 by 768
    # screen at that scale) that gives windows their frames and a taskbar with the tray, and the
    # page template.
    mkdir -p "$drive_c/Web"
    cat >"$drive_c/Web/$template_name" <<'HTML'
<html>
<head><title>Home PC</title></head>
<body>
<p>The home PC is at <a href="http://<IPAddress>/"><IPAddress></a> since <Time> on <Date>.</p>
</body>
</html>
HTML
    local reg=$state/settings.reg
    {
        printf 'REGEDIT4\n\n'
        printf '[-HKEY_CURRENT_USER\\SOFTWARE\\Brannik\\Tovra]\n\n'
        printf '[HKEY_CURRENT_USER\\SOFTWARE\\Brannik\\Tovra]\n'
        printf '"%s"="%s"\n' \
            SiteAddress "$site_host" SitePort "$ftp_port" SiteUsername "$ftp_user" \
            SitePassword "$ftp_password" SiteRemotePath /htdocs/ip.html SitePasvMode 1 \
            LocalTemplateFile "${template_dir//\\/\\\\}\\\\$template_name" GetWebAddress 1 \
            ForcePost 0 LastIP ""
        printf '\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager]\n"ThemeActive"="0"\n'
        printf '\n[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\n"Desktop"="shell"\n'
        printf '\n[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\n"shell"="%dx%d"\n' \
            $((1024 * dpi / 96)) $((768 * dpi / 96))
        printf '\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"LogPixels"=dword:%08x\n' "$dpi"
    } >"$reg"
    # No display yet: nothing of Wine may start a desktop before the settings hold.
    env -u DISPLAY wine regedit /S "Z:${reg//\//\\}" </dev/null >/dev/null 2>&1 ||
        tovra_die "could not import $reg"
    wineserver -w

    rm -rf "$state/ftp"
    mkdir -p "$state/ftp/htdocs"
    /usr/bin/python3 "$repo/tools/screenshots/servers.py" "$state/ftp" "$ftp_user" "$ftp_password" \
        "$echo_address" "$ftp_port" "$proxy_port" </dev/null >"$state/servers.out" 2>"$state/servers.log" &
    servers_pid=$!
    local deadline=$((SECONDS + 15))
    until grep -q READY "$state/servers.out"; do
        if ! tovra_alive "$servers_pid" || ((SECONDS > deadline)); then
            tovra_die "the FTP server and proxy did not start; see $state/servers.log"
        fi
        sleep 0.1
    done

    DISPLAY=$(TOVRA_XVFB_SCREEN="$((1280 * dpi / 96))x$((1024 * dpi / 96))x24" tovra_ensure_xvfb "$state")
    export DISPLAY
    unset XAUTHORITY
    # Managed, as the pictures have always been taken: Wine draws no frame of its own around them.
    TOVRA_WINE_MANAGED=Y tovra_ensure_wineserver "$state" "$DISPLAY"

    tovra_say "starting $exe"
    http_proxy=http://127.0.0.1:$proxy_port wine "$exe" </dev/null >"$state/tovra.log" 2>&1 &
    tovra_pid=$!

    # The start-up check: the echo site's answer, then the page on the server.
    session_wine "$driver" wait-log "File uploaded successfully!" 60 ||
        tovra_die "the start-up check did not upload the page; see $state/servers.log"
    [[ -s $state/ftp/htdocs/ip.html ]] || tovra_die "the log says uploaded, but the server has no page"

    local desktop
    desktop=$(xdotool search --name 'Wine desktop' | head -n1)
    [[ -n $desktop ]] || tovra_die "no Wine desktop window on $DISPLAY"
    rm -rf "$out"
    mkdir -p "$out"
    # LEFT TOP WIDTH HEIGHT in desktop pixels, from the driver, to one PNG.
    capture() {
        local name=$1 left top width height
        read -r left top width height || tovra_die "no rectangle for $name"
        import -window "$desktop" -crop "${width}x${height}+${left}+${top}" +repage \
            -strip -define png:exclude-chunk=date,time "$out/$name.png"
        tovra_say "captured $name.png (${width}x$height)"
    }

    session_wine "$driver" show >/dev/null
    session_wine "$driver" measure >"$out/measure.txt"
    tovra_say "at $dpi DPI: $(tr '\n' ';' <"$out/measure.txt")"
    session_wine "$driver" tab 0 | capture details
    session_wine "$driver" tab 1 | capture connection
    session_wine "$driver" tab 2 | capture advanced
    # A name typed into the Names page's dialog and taken into the list, never saved: the
    # program asks no DNS service during the session.
    session_wine "$driver" tab 3 >/dev/null
    session_wine "$driver" add-name | capture dns-name
    session_wine "$driver" close-name
    session_wine "$driver" tab 3 | capture names
    session_wine "$driver" hide
    session_wine "$driver" about | capture about
    session_wine "$driver" close-about
    session_wine "$driver" tray-menu | capture tray-menu
    session_wine "$driver" close-menu
}

main() {
    local build_dir
    build_dir=$(realpath -m "${1:-$repo/build/shots-win}")
    local jobs=${JOBS:-2}
    local dpis=${DPIS:-96 144 192}
    local shots_dir=${SHOTS_DIR:-$repo/docs/screenshots}

    "$repo/scripts/setup.sh"
    command -v import >/dev/null || tovra_die "ImageMagick's import is missing: run scripts/setup.sh"

    # Two runs on one folder would build over each other and share a prefix, where the second
    # Tovra would find the first and end.
    mkdir -p "$build_dir"
    local lock
    tovra_lock "$build_dir" screenshots lock

    cd "$repo"
    cmake --preset win -B "$build_dir" >/dev/null || tovra_die "configuring $build_dir failed"
    tovra_say "build tovra in $build_dir"
    cmake --build "$build_dir" --parallel "$jobs" --target tovra || tovra_die "building tovra failed"
    cmake -S "$repo/tools/screenshots" -B "$build_dir/shot-driver" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null ||
        tovra_die "configuring the screenshot driver failed"
    cmake --build "$build_dir/shot-driver" --parallel "$jobs" >/dev/null ||
        tovra_die "building the screenshot driver failed"

    local isolate=(unshare --mount --net --pid --fork --mount-proc --kill-child)
    ((EUID == 0)) || isolate+=(--user --map-root-user)
    local dpi
    for dpi in $dpis; do
        [[ $dpi =~ ^[0-9]+$ ]] && ((dpi >= 96 && dpi <= 480)) || tovra_die "DPIS: $dpi is not a scale"
        run_isolated "$build_dir" "$dpi" "${isolate[@]}"
    done
    tovra_unlock "$lock"

    local target name
    for dpi in $dpis; do
        for name in "${shots[@]}"; do
            [[ -s $build_dir/screenshots/pictures/$dpi/$name.png ]] || tovra_die "$name.png at $dpi DPI is missing"
        done
    done
    for dpi in $dpis; do
        target=$shots_dir
        ((dpi == 96)) || target=$shots_dir/${dpi}dpi
        mkdir -p "$target"
        cp "$build_dir/screenshots/pictures/$dpi/"*.png "$build_dir/screenshots/pictures/$dpi/measure.txt" "$target/"
    done
    tovra_say "pictures written to $shots_dir"
}

# run_isolated BUILD_DIR DPI UNSHARE_COMMAND...: one session in namespaces of its own.
run_isolated() {
    local build_dir=$1 dpi=$2
    shift 2
    "$@" bash "$repo/scripts/screenshots.sh" --session "$build_dir" "$dpi" &
    session_pid=$!
    # unshare waits for the session deaf to TERM; pass the signal on to the session's first
    # process, whose trap stops everything. If that takes too long, killing unshare makes the
    # kernel end every process of the session at once.
    stop_on_signal() {
        local inner
        inner=$(pgrep -P "$session_pid" | head -n1) || true
        [[ -n $inner ]] && kill -TERM "$inner" 2>/dev/null
        local deadline=$((SECONDS + 15))
        while tovra_alive "$session_pid" && ((SECONDS <= deadline)); do sleep 0.2; done
        tovra_alive "$session_pid" && kill -KILL "$session_pid" 2>/dev/null
        exit "$1"
    }
    trap 'stop_on_signal 130' INT
    trap 'stop_on_signal 143' TERM
    wait "$session_pid" ||
        tovra_die "the screenshot session at $dpi DPI failed; its files are in $build_dir/screenshots"
    trap - INT TERM
}

if [[ ${1:-} == --session ]]; then
    run_session "$2" "$3"
else
    main "$@"
fi
