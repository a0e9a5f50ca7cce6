#!/usr/bin/env bash
# Makes the HTML tomography report of the bundled demo database and takes a
# picture of it in headless Chromium, so that a change to the report's look
# can be judged by eye (the tests check its figures and markup, not how it
# reads).
#
#   tools/tomography_screenshot.sh [BUILD_DIR] [OUTPUT_DIR] [LANGUAGE]
#       defaults: build, docs/tomography, en
#
# Writes OUTPUT_DIR/report-LANGUAGE.htm, the screen picture report-LANGUAGE.png
# (1200 pixels wide, the whole page) and, when pdftoppm (poppler-utils) is
# there, print-LANGUAGE-N.png: the pages as the print style sheet lays them.
# Needs chromium (Debian: apt-get install chromium); the test suite never
# does.  The run only reads the demo database: it works on a copy.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
out=${2:-$root/docs/tomography}
lang=${3:-en}
mkdir -p "$out"
out=$(cd "$out" && pwd)

browser=$(command -v chromium || command -v chromium-browser || true)
[ -n "$browser" ] || { echo "tomography_screenshot.sh: chromium is missing (apt-get install chromium)." >&2; exit 1; }
cli=$build/src/cli/bramble-cli
[ -x "$cli" ] || { echo "tomography_screenshot.sh: $cli is not built." >&2; exit 1; }

work=$(mktemp -d)
profile=$(mktemp -d)
trap 'rm -rf "$work" "$profile"' EXIT
cp "$build"/data/demo/demo.mst "$build"/data/demo/demo.xrf "$build"/data/demo/demo.fdt "$work"/
printf '[BRM]\r\nLANG=%s\r\nMSG=%s/data/messages/\r\nWORK=%s/\r\n' "$lang" "$build" "$work" > "$work/brm.cip"
(cd "$work" && "$cli" --config brm.cip --db demo.mst tomography --html --chars ascii --labels 4 > /dev/null)
cp "$work/tom - demo.htm" "$out/report-$lang.htm"

# Every network and background service off: the page needs none, and the
# picture must not depend on the machine.
flags=(--headless --no-sandbox --disable-gpu --disable-quic --no-first-run
       --disable-background-networking --disable-component-update --disable-sync
       --user-data-dir="$profile" --hide-scrollbars)
url="file://$out/report-$lang.htm"

# A window taller than the page; the blank below its end is cut after.
"$browser" "${flags[@]}" --window-size=1200,8000 --screenshot="$out/report-$lang.png" "$url" 2> /dev/null
if command -v convert > /dev/null; then
  convert "$out/report-$lang.png" -trim +repage -bordercolor '#fbfbf4' -border 24 \
    "$out/report-$lang.png"
fi

if command -v pdftoppm > /dev/null; then
  "$browser" "${flags[@]}" --no-pdf-header-footer --print-to-pdf="$out/print-$lang.pdf" "$url" 2> /dev/null
  pdftoppm -r 60 -png "$out/print-$lang.pdf" "$out/print-$lang"
  rm -f "$out/print-$lang.pdf"
fi
ls "$out"
