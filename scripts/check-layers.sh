#!/usr/bin/env bash
# Fails when a source file includes a header from a layer above its own, or a front end
# includes another front end, or a Qt header appears outside ui/. Inside core/, the two methods
# (classic/ and converged/) include the shared model/ and results/ and never each other, and
# model/ and results/ include neither method.
#   check-layers.sh [ROOT]   (default: the repository this script lives in)
# The layers, from the bottom up (fit/, the fits to measurements, sits on the run driver); each
# may include its own folder and those below it.
set -uo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}

layers=(core inputs files run fit)
frontends=(ui cli python)

rank_of() {
  local i
  for i in "${!layers[@]}"; do [[ "${layers[$i]}" == "$1" ]] && { echo "$i"; return; }; done
  for i in "${frontends[@]}"; do [[ "$i" == "$1" ]] && { echo 100; return; }; done
  echo -1
}

failures=0
report() {
  echo "layer check: $1" >&2
  failures=$((failures + 1))
}

for folder in "${layers[@]}" "${frontends[@]}"; do
  [[ -d "$root/$folder" ]] || continue
  own=$(rank_of "$folder")
  while IFS= read -r -d '' file; do
    relative=${file#"$root/"}
    while IFS=: read -r line text; do
      if [[ "$text" =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\"([a-z]+)/ ]]; then
        target=${BASH_REMATCH[1]}
        rank=$(rank_of "$target")
        ((rank < 0)) && continue
        if ((own == 100 && rank == 100)); then
          [[ "$target" == "$folder" ]] ||
            report "$relative:$line includes the front end $target/ (front ends include only the layers)"
        elif ((rank > own)); then
          report "$relative:$line includes $target/, a layer above $folder/"
        fi
      fi
      if [[ "$folder" == core && "$relative" =~ ^core/([a-z]+)/ ]]; then
        part=${BASH_REMATCH[1]}
        if [[ "$text" =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\"core/(classic|converged)/ ]]; then
          method=${BASH_REMATCH[1]}
          [[ "$method" == "$part" ]] ||
            report "$relative:$line includes core/$method/ (only core/$method/ itself may; the methods share core/model/ and core/results/)"
        fi
      fi
      if [[ "$folder" != ui && "$text" =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\<(Q[A-Za-z]+) ]]; then
        report "$relative:$line includes the Qt header <${BASH_REMATCH[1]}...> outside ui/"
      fi
    done < <(grep -n -E '^[[:space:]]*#[[:space:]]*include' "$file")
  done < <(find "$root/$folder" -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.cpp' \) -print0)
done

if ((failures > 0)); then
  echo "layer check: $failures include(s) break the layering" >&2
  exit 1
fi
echo "layer check: every include respects the layers"
