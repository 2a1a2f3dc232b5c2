#!/usr/bin/env bash
# Fails when a configured build, or a program the checks start, relies on a Debian package
# that scripts/install-deps.sh neither lists nor pulls in: a package installed by hand on one
# machine would otherwise keep that machine green while a fresh one stops at configure.
#
#   check-deps.sh [--full] [--list FILE] BUILD_DIR [PROGRAM...]
#
# Every package configuration file CMake loaded (the *_DIR entries of BUILD_DIR/CMakeCache.txt)
# and every PROGRAM (looked up on PATH) must belong to a package of the install list
# (install-deps.sh --list, with --full its full list; or the packages in FILE, one a line) or
# to one of their dependencies.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

full=()
list_file=
while (($# > 0)); do
  case "$1" in
    --full) full=(--full); shift ;;
    --list) list_file=$2; shift 2 ;;
    -*) echo "check-deps.sh: unknown option $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
if (($# < 1)); then
  echo "usage: check-deps.sh [--full] [--list FILE] BUILD_DIR [PROGRAM...]" >&2
  exit 2
fi
build=$1
shift
cache="$build/CMakeCache.txt"
[[ -f "$cache" ]] || { echo "check-deps: $cache not found; configure the build first" >&2; exit 2; }

if [[ -n "$list_file" ]]; then
  mapfile -t listed < <(grep -v '^[[:space:]]*$' "$list_file")
  source_name=$list_file
else
  mapfile -t listed < <(bash "$root/scripts/install-deps.sh" --list "${full[@]}")
  source_name="scripts/install-deps.sh --list${full[*]:+ ${full[*]}}"
fi
((${#listed[@]} > 0)) || { echo "check-deps: the install list is empty" >&2; exit 2; }

# The listed packages and everything they depend on, computed once: the top-level lines of the
# recursive listing are the packages reached (virtual ones in <>), without architecture.
declare -A available=()
while read -r name; do
  name=${name#<}
  name=${name%>}
  available[${name%%:*}]=1
done < <(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
           --no-replaces --no-enhances "${listed[@]}" 2>/dev/null | grep -v '^[[:space:]]')

failures=0
for package in "${listed[@]}"; do
  if [[ -z "${available[$package]:-}" ]]; then
    echo "check-deps: $source_name names $package, which apt-cache does not know" >&2
    failures=$((failures + 1))
  fi
done

# What to check: "what<TAB>file" lines, the package configurations first, then the programs.
checks=()
while IFS= read -r entry; do
  variable=${entry%%:*}
  directory=${entry#*=}
  name=${variable%_DIR}
  for config in "$directory/${name}Config.cmake" "$directory/${name,,}-config.cmake"; do
    if [[ -f "$config" ]]; then
      checks+=("$variable"$'\t'"$config")
      break
    fi
  done
done < <(grep -E '^[A-Za-z0-9_.+-]+_DIR:[A-Z]+=' "$cache")
for program in "$@"; do
  if ! path=$(command -v "$program"); then
    echo "check-deps: program $program: not found on PATH" >&2
    failures=$((failures + 1))
    continue
  fi
  # The file a package installed: the name on PATH, or where its links lead (resolved below
  # when dpkg does not know the name itself).
  checks+=("program $program"$'\t'"$path")
done

# The owners of every file, asked of dpkg in one call ("pkg1, pkg2:arch: path" lines).
declare -A owners=()
owned() {
  local line
  while IFS= read -r line; do
    [[ "$line" == diversion* || "$line" != *": "* ]] && continue
    owners[${line#*: }]=${line%%: *}
  done < <(dpkg -S "$@" 2>/dev/null || true)
}
files=()
for check in "${checks[@]}"; do files+=("${check#*$'\t'}"); done
((${#files[@]} == 0)) || owned "${files[@]}"
resolved=()
for file in "${files[@]}"; do
  [[ -n "${owners[$file]:-}" ]] || resolved+=("$(readlink -f "$file")")
done
((${#resolved[@]} == 0)) || owned "${resolved[@]}"

for check in "${checks[@]}"; do
  what=${check%%$'\t'*}
  file=${check#*$'\t'}
  packages=${owners[$file]:-${owners[$(readlink -f "$file")]:-}}
  if [[ -z "$packages" ]]; then
    echo "check-deps: $what: $file belongs to no Debian package" >&2
    failures=$((failures + 1))
    continue
  fi
  found=false
  names=()
  IFS=', ' read -r -a parts <<<"$packages"
  for name in "${parts[@]}"; do
    name=${name%%:*}
    names+=("$name")
    [[ -n "${available[$name]:-}" ]] && found=true
  done
  if ! $found; then
    echo "check-deps: $what: $file belongs to ${names[*]}, which $source_name neither lists" \
         "nor pulls in" >&2
    failures=$((failures + 1))
  fi
done
if ((failures > 0)); then
  echo "check-deps: $failures problem(s) above; every package the build and the checks use" \
       "must be in scripts/install-deps.sh or pulled in by its packages" >&2
  exit 1
fi
echo "check-deps: all ${#checks[@]} package configurations and programs of $build come from" \
     "packages of $source_name"
