#!/usr/bin/env bash
# Installs what is missing, builds Korvane with its tests and runs every test.
#   --sanitize    build and run the suite with AddressSanitizer and UndefinedBehaviorSanitizer
#   --check-deps  after configure, fail when the build or the programs the tests start need a
#                 package the install list misses (scripts/check-deps.sh; CI uses it)
#   --werror      treat compiler warnings as errors (CI uses it)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mode=
check_deps=false
werror=OFF
for argument in "$@"; do
  case "$argument" in
    --sanitize) mode=$argument ;;
    --check-deps) check_deps=true ;;
    --werror) werror=ON ;;
    *) echo "test.sh: unknown option $argument (use --sanitize, --check-deps, --werror)" >&2; exit 2 ;;
  esac
done

bash "$root/scripts/install-deps.sh"
if [[ "$mode" == "--sanitize" ]]; then
  build="$root/build-asan"
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_SANITIZE=ON \
    -DKORVANE_WERROR="$werror" >/dev/null
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export LSAN_OPTIONS=suppressions="$root/scripts/lsan.supp":print_suppressions=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
else
  build="$root/build-test"
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKORVANE_WERROR="$werror" >/dev/null
fi
if $check_deps; then
  # The programs the tests start (Debian's interpreter runs pytest and the Dask scheduler and
  # workers), and clang-format, which CI's format check starts.
  bash "$root/scripts/check-deps.sh" "$build" xvfb-run xauth clang-format /usr/bin/python3
fi
cmake --build "$build" -j"$(nproc)"
cd "$build"
ctest --output-on-failure -j"$(nproc)" --timeout 300
