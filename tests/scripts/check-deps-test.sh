#!/usr/bin/env bash
# The dependency check fails, naming the package, when the install list misses the package of a
# configuration CMake loaded or of a program the checks start, and passes with the real list.
# Exit 77 (skipped) where there is no dpkg, or xvfb-run, xauth or the Qt OpenGL configuration is
# not installed.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
command -v dpkg >/dev/null && command -v apt-cache >/dev/null || exit 77
command -v xvfb-run >/dev/null && command -v xauth >/dev/null || exit 77
config=$(dpkg -L libqt6opengl6-dev 2>/dev/null | grep '/Qt6OpenGLConfig\.cmake$' | head -n 1) || true
[[ -n "$config" ]] || exit 77

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# A build that loaded Qt6OpenGL's configuration, as Qt6Charts' does.
printf 'Qt6OpenGL_DIR:PATH=%s\nFOO_INCLUDE_DIR:PATH=/usr/include\n' "$(dirname "$config")" \
  >"$scratch/CMakeCache.txt"

fail() { echo "FAIL: $*" >&2; exit 1; }

# Without libqt6opengl6-dev and xvfb in the list: both named, failure.
bash "$root/scripts/install-deps.sh" --list | grep -vx 'libqt6opengl6-dev\|xvfb' >"$scratch/list"
if bash "$root/scripts/check-deps.sh" --list "$scratch/list" "$scratch" xvfb-run xauth \
    2>"$scratch/err"; then
  fail "passed with a list that misses libqt6opengl6-dev and xvfb"
fi
grep -q 'Qt6OpenGL_DIR: .* belongs to libqt6opengl6-dev, which' "$scratch/err" ||
  fail "no line names libqt6opengl6-dev: $(cat "$scratch/err")"
grep -q 'program xvfb-run: .* belongs to xvfb, which' "$scratch/err" ||
  fail "no line names xvfb: $(cat "$scratch/err")"
grep -q 'xauth' "$scratch/err" && fail "xauth is listed but reported: $(cat "$scratch/err")"

# The real list covers them.
bash "$root/scripts/check-deps.sh" "$scratch" xvfb-run xauth >"$scratch/out" ||
  fail "failed with the real list"
echo "check-deps test passed"
