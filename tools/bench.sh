#!/usr/bin/env bash
# Runs every benchmark built in BUILD/bench.  Each prints records per second and
# the time of a plain copy of the same data in the same run.
set -euo pipefail
build=${1:-build}
work=${BENCH_DIR:-$(mktemp -d /tmp/bramble-bench.XXXXXX)}
status=0
for b in "$build"/bench/*_bench; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  BENCH_DIR="$work" VARDO_BIN="$build/src/cli/vardo" "$b" || status=1
done
rm -rf "$work"
exit $status
