#!/usr/bin/env bash
# The test command: installs what is missing, configures and builds both configurations, runs
# every test (the Windows ones under Wine, the host ones natively with the sanitizers and the
# fuzzers' smoke runs) and ends with CTest's summary. Exits non-zero if anything failed.
#
# Environment:
#   BUILD_ROOT      where the build folders go (default: build/ in the checkout); the folders are
#                   BUILD_ROOT/win and BUILD_ROOT/host unless WIN_BUILD_DIR / HOST_BUILD_DIR say
#   JOBS            parallel compile and test jobs (default 2)
#   CTEST_ARGS      extra CTest arguments for both configurations, e.g. "-R Upload" or
#                   "--repeat until-fail:10"
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=scripts/wine-env.sh
source "$repo/scripts/wine-env.sh"

build_root=$(realpath -m "${BUILD_ROOT:-$repo/build}")
win_dir=$(realpath -m "${WIN_BUILD_DIR:-$build_root/win}")
host_dir=$(realpath -m "${HOST_BUILD_DIR:-$build_root/host}")
jobs=${JOBS:-2}
read -r -a ctest_extra <<<"${CTEST_ARGS:-}"

step() { printf '\n[tovra] === %s\n' "$*" >&2; }

"$repo/scripts/setup.sh"

cd "$repo"
for config in win host; do
    dir=$win_dir
    [[ $config == host ]] && dir=$host_dir
    step "configure $config in $dir"
    cmake --preset "$config" -B "$dir" >"$build_root.$config-configure.log" 2>&1 || {
        cat "$build_root.$config-configure.log" >&2
        tovra_die "configuring $config failed"
    }
    step "build $config"
    cmake --build "$dir" --parallel "$jobs" || tovra_die "building $config failed"
done
rm -f "$build_root".*-configure.log

# From here on this script owns the win folder's Xvfb and wineserver (wine-run.sh starts them on
# the first test); they go on every way out, a failure or Ctrl-C included.
cleanup() {
    tovra_stop_wineserver "$win_dir"
    tovra_stop_xvfb "$win_dir"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

step "Wine prefix"
tovra_ensure_prefix "$win_dir"
tovra_say "using $WINEPREFIX"

# Runs CTest for one folder; its log is kept in the folder for the summary at the end.
declare -A result
run_ctest() {
    local name=$1 dir=$2 rc=0
    step "test $name"
    ctest --test-dir "$dir" --parallel "$jobs" --output-on-failure --no-tests=error \
        --timeout 300 "${ctest_extra[@]}" 2>&1 | tee "$dir/ctest-summary.log" || rc=$?
    result[$name]=$rc
}
run_ctest windows "$win_dir"
run_ctest host "$host_dir"

step "summary"
status=0
for name in windows host; do
    dir=$win_dir
    [[ $name == host ]] && dir=$host_dir
    line=$(grep -E 'tests passed|No tests were found' "$dir/ctest-summary.log" | tail -1 || true)
    printf '%-8s %s\n' "$name:" "${line:-CTest gave no summary (exit ${result[$name]})}"
    grep -A100 -E '^The following tests (FAILED|did not run):' "$dir/ctest-summary.log" |
        grep -vE '^(Errors while running CTest|Output from these tests|Use "--rerun-failed)' || true
    ((result[$name] == 0)) || status=1
done
exit "$status"
