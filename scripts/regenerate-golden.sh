#!/usr/bin/env bash
# Rewrites the golden files of the tests from the batch runner's default case:
#   tests/golden/default_result.txt      the whole result file of the default case, run from an
#                                        initial tension of 3.0 dyn
#   tests/golden/default_input_data.txt  its INPUT DATA section alone (every line before the
#                                        blank line and the rule above "CALCULATION RESULTS")
#   regenerate-golden.sh [BUILD_DIR]   (default: build/ of this repository; configured and
#                                       built in Release when needed)
# Only for a deliberate change of the result file: classic results stay byte for byte, so
# review `git diff tests/golden` before committing what this writes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
golden="$root/tests/golden"

if [[ ! -f "$build/CMakeCache.txt" ]]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target korvane-batch

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
(cd "$scratch" && "$build/cli/korvane-batch" --initial-tension 3.0 -o result.txt >/dev/null)

# The INPUT DATA section ends three lines above "CALCULATION RESULTS" (a blank line and a rule
# come between them); lines end in CR LF.
results_line=$(grep -n -m1 $'^CALCULATION RESULTS\r$' "$scratch/result.txt" | cut -d: -f1)
[[ -n "$results_line" ]] || { echo "regenerate-golden: the run wrote no result tables" >&2; exit 1; }
head -n $((results_line - 3)) "$scratch/result.txt" >"$scratch/input_data.txt"

cp "$scratch/result.txt" "$golden/default_result.txt"
cp "$scratch/input_data.txt" "$golden/default_input_data.txt"
echo "regenerate-golden: wrote $golden/default_result.txt and default_input_data.txt"
git -C "$root" diff --stat -- tests/golden
