#!/usr/bin/env bash
# Installs what is missing, builds Korvane in Release and starts it. Without a display it
# runs the default case with the batch runner instead.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release -DKORVANE_BUILD_TESTS=OFF >/dev/null
cmake --build "$root/build" -j"$(nproc)"

# Lets Debian's interpreter import the korvane module from any folder: a korvane.pth in its site
# folder names the build's package folder.
python=/usr/bin/python3
site=$("$python" -c 'import site; print(site.getsitepackages()[0])')
package="$root/build/python"
if [[ "$(cat "$site/korvane.pth" 2>/dev/null)" != "$package" ]]; then
  if mkdir -p "$site" 2>/dev/null && echo "$package" >"$site/korvane.pth" 2>/dev/null; then
    echo "$python now imports korvane from $package (through $site/korvane.pth)."
  else
    echo "To import korvane in $python from any folder, run once as root:"
    echo "  echo $package > $site/korvane.pth"
    echo "or set PYTHONPATH=$package."
  fi
fi

if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
  exec "$root/build/ui/korvane" "$@"
fi

echo "No display found (neither DISPLAY nor WAYLAND_DISPLAY is set), so the default case is run"
echo "with the batch runner instead; its result file is $(pwd)/result.txt."
echo "To see the windows, run this command in a desktop session (or over ssh -X), or under a"
echo "virtual display: xvfb-run -a bash scripts/run.sh"
set +e
"$root/build/cli/korvane-batch" -o result.txt
status=$?
set -e
exit $status
