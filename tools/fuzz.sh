#!/usr/bin/env bash
# Runs every fuzz target for FUZZ_SECONDS (default 60) each; crashing inputs
# land in fuzz-out/<target>/ to be turned into regression tests.
set -euo pipefail
build=${1:-build-fuzz}
secs=${FUZZ_SECONDS:-60}
for f in "$build"/tests/fuzz/*_fuzz; do
  [ -x "$f" ] || continue
  name=$(basename "$f")
  mkdir -p "fuzz-out/$name/corpus"
  echo "== $name ($secs s)"
  "$f" -max_total_time="$secs" -artifact_prefix="fuzz-out/$name/" "fuzz-out/$name/corpus" || true
done
