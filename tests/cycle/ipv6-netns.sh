#!/usr/bin/env bash
# The IPv6 address on the page, in a network namespace of the test's own: v0 carries 192.0.2.10/24
# and the global 2001:db8:2::7/64, then a Teredo and a 6to4 address (relays, never published),
# which Wine lists first. Runs the cycle test that detects, publishes, checks again and
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
    ip -6 addr add 2001:0:4136:e378:8000:63bf:3fff:fdd2/64 dev v0 nodad
    ip -6 addr add 2002:c000:20a::7/64 dev v0 nodad
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

tovra_run_in_network_namespace "$build_dir" "${BASH_SOURCE[0]}" "$program"
