#!/usr/bin/env bash
# The release command: installs what is missing, builds the release configuration (optimised,
# stripped, linked -static, no tests) and ends with the setup program, whose path it prints last.
#
# Environment:
#   RELEASE_BUILD_DIR   the build folder (default: build/release in the checkout)
#   JOBS                parallel compile jobs (default 2)
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=$(realpath -m "${RELEASE_BUILD_DIR:-$repo/build/release}")
jobs=${JOBS:-2}
# The most a release tovra.exe may weigh: a download of a tray tool should stay small.
size_limit=600000

say() { printf '[package] %s\n' "$*" >&2; }
die() {
    printf '[package] error: %s\n' "$*" >&2
    exit 1
}

"$repo/scripts/setup.sh"

cd "$repo"
mkdir -p "$build_dir"
say "configure release in $build_dir"
cmake --preset release -B "$build_dir" >"$build_dir/configure.log" 2>&1 || {
    cat "$build_dir/configure.log" >&2
    die "configuring the release failed"
}
say "build"
cmake --build "$build_dir" --parallel "$jobs" || die "building the release failed"

program=$build_dir/app/tovra.exe
size=$(stat -c %s "$program")
say "tovra.exe: $size bytes (at most $size_limit)"
((size <= size_limit)) || die "tovra.exe is $size bytes, over the limit of $size_limit"
for file in Tovra.chm Tovra.html; do
    [[ -f $build_dir/app/$file ]] || die "$file is missing beside tovra.exe"
done

setups=("$build_dir"/Tovra-*-setup.exe)
[[ -f ${setups[0]} ]] || die "no setup program in $build_dir"
say "setup: $(stat -c %s "${setups[0]}") bytes"
printf '%s\n' "${setups[0]}"
