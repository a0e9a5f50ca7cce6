#!/usr/bin/env bash
# Starts bramble on the demo configuration under a virtual X server and
# writes PNGs of its window: every page and the record viewer, in English,
# Spanish and Portuguese, plus the README's picture.
#
#   tools/screenshot.sh [BUILD_DIR] [OUT_DIR]    (defaults: build, docs)
#
# writes OUT_DIR/screenshots/<lang>/<page>.png for lang en, es, pt and page
# fields, strings, tomography, invfile, parameters, cleaning, utilities and
# viewer (the record viewer over the window), and OUT_DIR/screenshot.png (the
# Fields page in English).  Each picture is one start of the program, on its
# page (--tab) and language (--lang, for that run only: brm.cip keeps
# LANG=en).  SHOTS="en:fields es:viewer" takes only those.
#
# Needs xvfb-run and ImageMagick's import (make setup installs both).  The
# screen is 1280 pixels wide, so the window opens at its large size (1060 x
# 720) in the top-left corner; with no window manager there is no frame, and
# the picture is that rectangle of the screen.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
out=${2:-$root/docs}
build=$(cd "$build" && pwd)
mkdir -p "$out"
out=$(cd "$out" && pwd)

for tool in xvfb-run import; do
  command -v "$tool" > /dev/null || { echo "screenshot.sh: $tool is missing (make setup)." >&2; exit 1; }
done
"$root/tools/run.sh" "$build" --prepare

pages="fields strings tomography invfile parameters cleaning utilities viewer"
if [[ -z "${SHOTS:-}" ]]; then
  SHOTS=""
  for lang in en es pt; do
    for page in $pages; do SHOTS+="$lang:$page "; done
  done
fi
for shot in $SHOTS; do mkdir -p "$out/screenshots/${shot%%:*}"; done

runtime=$(mktemp -d)
chmod 700 "$runtime"
trap 'rm -rf "$runtime"' EXIT

# One X server for every picture; the program is started once per picture.
XDG_RUNTIME_DIR=$runtime xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  set -e
  build=$1 out=$2
  shift 2
  cd "$build/run"
  for shot in "$@"; do
    lang=${shot%%:*} page=${shot#*:}
    if [[ $page == viewer ]]; then
      args=(--lang "$lang" --view-records)
    else
      args=(--lang "$lang" --tab "$page")
    fi
    "$build/bramble" "${args[@]}" &
    pid=$!
    # Wait until the window (and the viewer over it) is mapped and painted.
    sleep 3
    import -window root -crop 1060x720+0+0 +repage "$out/screenshots/$lang/$page.png"
    # SIGTERM closes the window; a modal viewer may hold it, so KILL follows.
    kill "$pid" 2> /dev/null || true
    sleep 0.5
    kill -KILL "$pid" 2> /dev/null || true
    wait "$pid" 2> /dev/null || true
    echo "screenshot.sh: wrote $out/screenshots/$lang/$page.png"
  done
' _ "$build" "$out" $SHOTS
if [[ -f "$out/screenshots/en/fields.png" ]]; then
  cp "$out/screenshots/en/fields.png" "$out/screenshot.png"
  echo "screenshot.sh: wrote $out/screenshot.png"
fi
