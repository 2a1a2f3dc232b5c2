#!/usr/bin/env bash
# Builds the benchmarks (bench/) in Release and runs them: the speed figures of the README.
#   --brief       run every benchmark once for a moment and the convergence table, only to show
#                 that they build and run (CI uses it; the times it prints mean nothing)
#   --check-deps  after configure, fail when the build needs a package the install list misses
#   BENCHMARK_ARGS  anything else goes to korvane-bench (e.g. --benchmark_filter=Converged)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
brief=false
check_deps=false
args=()
for argument in "$@"; do
  case "$argument" in
    --brief) brief=true ;;
    --check-deps) check_deps=true ;;
    *) args+=("$argument") ;;
  esac
done

bash "$root/scripts/install-deps.sh"
build="$root/build-bench"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKORVANE_BUILD_BENCH=ON \
  -DKORVANE_BUILD_GUI=OFF -DKORVANE_BUILD_TESTS=OFF -DKORVANE_BUILD_PYTHON=OFF \
  -DKORVANE_WERROR=ON >/dev/null
if $check_deps; then
  bash "$root/scripts/check-deps.sh" "$build"
fi
cmake --build "$build" -j"$(nproc)" --target korvane-bench korvane-convergence-table
if $brief; then
  "$build/bench/korvane-bench" --benchmark_min_time=0.001 "${args[@]}"
  "$build/bench/korvane-convergence-table" >/dev/null
else
  "$build/bench/korvane-bench" "${args[@]}"
fi
