#!/usr/bin/env bash
# Fails when any C++ source differs from .clang-format. The check is pinned to
# clang-format 19, which Debian 12 and 13 both ship (clang-format-19), so it
# gives one verdict on either; set CLANG_FORMAT to use another build of it.
set -euo pipefail
cd "$(dirname "$0")/.."
format=${CLANG_FORMAT:-clang-format-19}
command -v "$format" >/dev/null || { echo "format: $format is missing (scripts/setup.sh installs it)" >&2; exit 1; }
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files '*.cpp' '*.h')
else
  mapfile -t files < <(find . -path ./build\* -prune -o \( -name '*.cpp' -o -name '*.h' \) -print)
fi
"$format" --dry-run --Werror "${files[@]}"
echo "format: ${#files[@]} files match .clang-format ($("$format" --version | grep -o 'version [0-9.]*'))"
