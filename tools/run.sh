#!/usr/bin/env bash
# Prepares a run folder with the demo configuration and starts bramble there.
#
#   tools/run.sh BUILD_DIR            prepare BUILD_DIR/run and start the program
#   tools/run.sh BUILD_DIR --prepare  prepare only (used by tools/screenshot.sh)
#
# The run folder holds brm.cip (language en), the demo database in data/, the
# English, Spanish and Portuguese message databases in msg/, the help pages
# in help/en, help/es and help/pt, the parameter help in param/<lang>/, and
# work/ for the run log.  brm.cip and the demo database are
# copied only when missing or older than the build's, so a language chosen in
# the program and changes made to the demo survive the next `make run`
# (delete BUILD_DIR/run to start afresh).
set -euo pipefail

build=${1:?usage: tools/run.sh BUILD_DIR [--prepare]}
mode=${2:-}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$build" && pwd)
run="$build/run"

if [[ ! -x "$build/bramble" ]]; then
  echo "run.sh: $build/bramble is missing; build first (make build)." >&2
  exit 1
fi
for f in "$build/data/demo/demo.mst" "$build/data/messages/msenbr.mst" "$build/data/messages/msesbr.mst"; do
  if [[ ! -f "$f" ]]; then
    echo "run.sh: $f is missing; build first (make build)." >&2
    exit 1
  fi
done

mkdir -p "$run/data" "$run/msg" "$run/work" "$run/help/en" "$run/help/es"
[[ -f "$run/brm.cip" ]] || cp "$root/data/demo/brm.cip" "$run/brm.cip"
# The database files go together: a newer master file brings its companions.
if [[ ! -f "$run/data/demo.mst" || "$build/data/demo/demo.mst" -nt "$run/data/demo.mst" ]]; then
  rm -f "$run"/data/demo.*
  for ext in mst xrf ifp fdt fst; do
    [[ -f "$build/data/demo/demo.$ext" ]] && cp "$build/data/demo/demo.$ext" "$run/data/"
  done
fi
cp -u "$build"/data/messages/ms*br.mst "$build"/data/messages/ms*br.xrf "$run/msg/"
# Every language with bundled data: help pages and parameter help.
for lang in en es pt; do
  if compgen -G "$root/data/help/$lang/*" > /dev/null; then
    mkdir -p "$run/help/$lang"
    cp -u "$root"/data/help/"$lang"/* "$run/help/$lang/"
  fi
  # The parameter help database (PARAM=param/%lang%/ in brm.cip).
  if [[ -f "$build/data/params/$lang/brmpar.mst" ]]; then
    mkdir -p "$run/param/$lang"
    rm -f "$run/param/$lang"/brmpar.ifp-lock
    cp -u "$build"/data/params/"$lang"/brmpar.* "$run/param/$lang/"
  fi
done

if [[ "$mode" == "--prepare" ]]; then
  exit 0
fi

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  cat <<HINT
Bramble is built and its run folder is ready:
  $run
but there is no display here (neither DISPLAY nor WAYLAND_DISPLAY is set), so
the window cannot open.  Ways on:
  - run 'make run' in a desktop session, or over 'ssh -X' from one;
  - start it by hand there:  cd $run && $build/bramble
  - take a picture of the window without a display:  tools/screenshot.sh $build
HINT
  exit 0
fi

cd "$run"
exec "$build/bramble"
