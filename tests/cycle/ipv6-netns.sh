#!/usr/bin/env bash
# The IPv6 address on the page, in a network namespace of the test's own: v0 carries 192.0.2.10/24
# and the global 2001:db8:2::7/64. Runs the cycle test that detects, publishes, checks again and
# changes the address (PostingCycleNetworkTest in cycle_tests.exe), which skips itself anywhere else.
# Usage: ipv6-netns.sh BUILD_DIR cycle_tests.exe
# Needs root or unprivileged user namespaces; exits 77 (CTest's skip) only when neither works.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=scripts/wine-env.sh
source "$repo/scripts/wine-env.sh"

if [[ ${1:-} == --inside ]]; then
    program=$2
    ip link set lo up
    ip link add v0 type veth peer name v1
    ip addr add 192.0.2.10/24 dev v0
    # nodad: the address is usable at once, rather than tentative for a second or two.
    ip -6 addr add 2001:db8:2::7/64 dev v0 nodad
    ip link set v0 up
    ip link set v1 up
    status=0
    TOVRA_IPV6_NETWORK=1 wine "$program" --gtest_filter='PostingCycleNetworkTest.*' || status=$?
    wineserver -k 2>/dev/null || true
    exit "$status"
fi

(($# == 2)) || tovra_die "usage: ipv6-netns.sh BUILD_DIR cycle_tests.exe"
build_dir=$(cd "$1" && pwd)
program=$2

isolate=(unshare --net --mount --pid --fork --kill-child --mount-proc)
((EUID == 0)) || isolate+=(--user --map-root-user)
if ! "${isolate[@]}" true 2>/dev/null; then
    echo "skipped: network namespaces are not available here (${isolate[*]} failed)"
    exit 77
fi

# Wine reads the interfaces in its device process, which belongs to the wineserver's session:
# the namespace needs a wineserver of its own, so it gets a copy of the build's prefix.
tovra_ensure_prefix "$build_dir"
work=$(mktemp -d "$build_dir/netns.XXXXXX")
trap 'rm -rf "$work"' EXIT
cp -a "$WINEPREFIX" "$work/prefix"
export WINEPREFIX=$work/prefix
env -u DISPLAY "${isolate[@]}" bash "${BASH_SOURCE[0]}" --inside "$program"
