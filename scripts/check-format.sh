#!/usr/bin/env bash
# Fails when a tracked C++ file (*.h, *.cpp) is not formatted as .clang-format says, and names
# the places; `clang-format -i FILE` formats a file.
#   check-format.sh [ROOT]   (default: the repository this script lives in)
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"
command -v clang-format >/dev/null || {
  echo "format check: clang-format not found (bash scripts/install-deps.sh installs it)" >&2
  exit 2
}
mapfile -d '' -t files < <(git ls-files -z -- '*.h' '*.cpp')
((${#files[@]} > 0)) || { echo "format check: no tracked C++ files under $root" >&2; exit 2; }
if ! clang-format --dry-run --Werror -- "${files[@]}"; then
  echo "format check: the files above are not formatted; run clang-format -i on them" >&2
  exit 1
fi
echo "format check: ${#files[@]} files formatted"
