#!/usr/bin/env bash
# Starts bramble on the demo configuration under a virtual X server and
# writes a PNG of its main window.
#
#   tools/screenshot.sh [BUILD_DIR] [OUTPUT]    (defaults: build, docs/screenshot.png)
#
# Needs xvfb-run and ImageMagick's import (make setup installs both).  The
# screen is 1280 pixels wide, so the window opens at its large size (1060 x
# 720) in the top-left corner; with no window manager there is no frame, and
# the picture is that rectangle of the screen.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
out=${2:-$root/docs/screenshot.png}
build=$(cd "$build" && pwd)
mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")

for tool in xvfb-run import; do
  command -v "$tool" > /dev/null || { echo "screenshot.sh: $tool is missing (make setup)." >&2; exit 1; }
done
"$root/tools/run.sh" "$build" --prepare

runtime=$(mktemp -d)
chmod 700 "$runtime"
trap 'rm -rf "$runtime"' EXIT

XDG_RUNTIME_DIR=$runtime xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  set -e
  cd "$1/run"
  "$1/bramble" &
  pid=$!
  # Wait until the window is mapped and painted.
  sleep 4
  import -window root -crop 1060x720+0+0 +repage "$2"
  kill "$pid" 2> /dev/null || true
  wait "$pid" 2> /dev/null || true
' _ "$build" "$out"
echo "screenshot.sh: wrote $out"
