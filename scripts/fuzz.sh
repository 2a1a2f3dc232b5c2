#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time (default 60 s)
# on a scratch copy of the seed corpus in fuzz/corpus. Fails when a target finds a crash.
#   fuzz.sh [--check-deps] [SECONDS]
# --check-deps: after configure, fail when the build or clang needs a package the full install
# list misses (scripts/check-deps.sh; CI uses it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
check_deps=false
if [[ "${1:-}" == "--check-deps" ]]; then
  check_deps=true
  shift
fi
seconds=${1:-60}

bash "$root/scripts/install-deps.sh" --full
build="$root/build-fuzz"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKORVANE_FUZZ=ON -DKORVANE_BUILD_GUI=OFF -DKORVANE_BUILD_TESTS=OFF >/dev/null
if $check_deps; then
  bash "$root/scripts/check-deps.sh" --full "$build" clang clang++
fi
cmake --build "$build" -j"$(nproc)" --target fuzz_text_conversion fuzz_data_file fuzz_number_text \
  fuzz_material

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for target in text_conversion data_file number_text material; do
  mkdir -p "$scratch/$target"
  cp "$root/fuzz/corpus/$target/"* "$scratch/$target/"
  echo "== fuzz_$target for $seconds s"
  (cd "$scratch" && "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -rss_limit_mb=2048 \
      -max_len=4096 -print_final_stats=1 "$scratch/$target" 2>"$scratch/$target.log") || {
    tail -n 60 "$scratch/$target.log"
    echo "fuzz_$target found a failure" >&2
    exit 1
  }
  grep -E 'stat::number_of_executed_units|stat::peak_rss_mb' "$scratch/$target.log" | sed "s/^/fuzz_$target /"
done
