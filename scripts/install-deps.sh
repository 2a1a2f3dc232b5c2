#!/usr/bin/env bash
# Installs the Debian 12 packages Korvane needs to build and test, only those missing.
#   --full  also the packages of the sanitizer build and the fuzz targets (scripts/test.sh
#           --sanitize, scripts/fuzz.sh)
#   --list  print the packages, one a line, and install nothing (scripts/check-deps.sh reads
#           this list, so it is the only one)
set -euo pipefail

full=false
list=false
for argument in "$@"; do
  case "$argument" in
    --full) full=true ;;
    --list) list=true ;;
    *) echo "install-deps.sh: unknown option $argument (use --full, --list)" >&2; exit 2 ;;
  esac
done

packages=(
  cmake make g++ pkg-config
  # Qt6Charts' package configuration needs Qt6OpenGL's, which qt6-charts-dev does not pull in.
  qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl-dev
  # The charts saved as SVG drawings.
  qt6-svg-dev
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev libsundials-dev
  # Material and case files (TOML), property laws as formulas, fits to measurements.
  libtomlplusplus-dev libmuparser-dev libceres-dev
  pybind11-dev python3-dev python3-numpy python3-pytest python3-distributed
  python3-pandas python3-matplotlib python3-xarray
  # The Python package built and installed with pip (pyproject.toml) in a virtual environment.
  python3-pip python3-venv python3-setuptools python3-wheel python3-build python3-pybind11
  xvfb xauth
  # The format check of CI (scripts/check-format.sh).
  clang-format
)
if $full; then
  packages+=(clang libclang-rt-14-dev)
fi

if $list; then
  printf '%s\n' "${packages[@]}"
  exit 0
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
if ((${#missing[@]} == 0)); then
  exit 0
fi

sudo=()
if [[ $(id -u) -ne 0 ]]; then
  command -v sudo >/dev/null || { echo "Installing ${missing[*]} needs root or sudo." >&2; exit 1; }
  sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
