#!/usr/bin/env bash
# Runs every Google Benchmark program of a benchmark build folder.
set -euo pipefail
build=${1:-build-bench}
cd "$(dirname "$0")/.."
for program in "$build"/bench/*/*_bench; do
    [ -x "$program" ] || continue
    echo "== $program"
    "$program" --benchmark_counters_tabular=true
done
