#!/usr/bin/env bash
# Checks that every C++ file of the project follows .clang-format; with --fix, rewrites them.
# Usage: scripts/format-check.sh [--fix] [FILE...]   (default: all tracked .h/.cpp files)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
command -v clang-format >/dev/null || {
    echo "[format] clang-format is not installed: run scripts/setup.sh" >&2
    exit 1
}
mode=(--dry-run -Werror)
if [[ ${1:-} == --fix ]]; then
    mode=(-i)
    shift
fi
if (($# > 0)); then
    files=("$@")
else
    mapfile -t files < <(git ls-files '*.h' '*.cpp' ':!:third_party/*')
fi
((${#files[@]} > 0)) || exit 0
if clang-format "${mode[@]}" "${files[@]}"; then
    echo "[format] ${#files[@]} files checked" >&2
else
    echo "[format] files above differ from .clang-format; fix with: scripts/format-check.sh --fix FILE..." >&2
    exit 1
fi
