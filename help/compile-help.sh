#!/bin/sh
# Compiles the help topics into Tovra.chm with chmcmd (Debian's fp-utils).
# Usage: compile-help.sh HELP_SOURCE_DIR SCREENSHOTS_DIR WORK_DIR OUTPUT.chm
# The topics show the README's real screenshots, so they are staged together in WORK_DIR as
# images/. chmcmd only warns about a link or a picture that is missing: here that fails the build,
# since a help file with a broken page is not one to ship.
set -eu
help=$1 shots=$2 work=$3 output=$4

rm -rf "$work"
mkdir -p "$work/images"
cp "$help"/*.htm "$help"/*.css "$help"/Tovra.hhp "$help"/Tovra.hhc "$help"/Tovra.hhk "$work/"
cp "$shots"/*.png "$work/images/"

cd "$work"
chmcmd --verbosity 1 Tovra.hhp >chmcmd.log 2>&1 || {
    cat chmcmd.log >&2
    echo "compile-help.sh: chmcmd failed" >&2
    exit 1
}
if grep -i 'warning\|error' chmcmd.log >&2; then
    echo "compile-help.sh: the help topics have broken links or missing pictures (above)" >&2
    exit 1
fi
cp Tovra.chm "$output"
