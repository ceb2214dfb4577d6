#!/usr/bin/env bash
# The local lookup on a PC with a virtual adapter, in a network namespace of the test's own: v0
# (created first, so lower-numbered) carries a lower address and a link-local one but no route
# out; w0 carries the default route. The lookup must report w0's address, and without any default
# route fall back to the lowest usable address, v0's.
# Usage: local-address-netns.sh BUILD_DIR PROBE.exe
# Needs root or unprivileged user namespaces; exits 77 (CTest's skip) only when neither works.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=scripts/wine-env.sh
source "$repo/scripts/wine-env.sh"

if [[ ${1:-} == --inside ]]; then
    probe=$2
    ip link set lo up
    ip link add v0 type veth peer name v1
    ip link add w0 type veth peer name w1
    ip addr add 10.0.75.1/24 dev v0
    ip addr add 169.254.7.7/16 dev v0
    ip addr add 192.168.1.20/24 dev w0
    ip link set v0 up
    ip link set w0 up
    ip route add default via 192.168.1.1 dev w0 onlink
    wine "$probe" 192.168.1.20
    ip route del default
    wine "$probe" 10.0.75.1
    wineserver -k 2>/dev/null || true
    exit 0
fi

(($# == 2)) || tovra_die "usage: local-address-netns.sh BUILD_DIR PROBE.exe"
build_dir=$(cd "$1" && pwd)
probe=$2

tovra_run_in_network_namespace "$build_dir" "${BASH_SOURCE[0]}" "$probe"
