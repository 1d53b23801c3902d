#!/usr/bin/env bash
# Checks that every tracked C++ source and header is formatted as the committed
# .clang-format says (clang-format 14); names each file that is not. Fix with
# `clang-format -i FILE`.
set -euo pipefail
cd "$(dirname "$0")/.."
format=$(command -v clang-format-14 || command -v clang-format || true)
if [ -z "$format" ]; then
    echo "clang-format not found: run scripts/install-deps.sh" >&2
    exit 1
fi
mapfile -t files < <(git ls-files '*.cpp' '*.h')
"$format" --dry-run --Werror "${files[@]}"
echo "format: ${#files[@]} files as .clang-format says"
