#!/usr/bin/env bash
# Runs the export steadiness benchmark (release build) with its files on /dev/shm and notes the
# conditions it ran under: processors, load, transparent huge pages. Extra arguments go to the
# benchmark (e.g. --benchmark_filter=Processes). KV_EXPORT_BASELINE=<program> runs an earlier
# build of the program in the same rounds.
set -euo pipefail
cd "$(dirname "$0")/.."
bench=build/release/bench/ExportSteadiness_bench
[[ -x $bench ]] || { echo "build the release variant first: tools/build.sh release" >&2; exit 2; }
echo "processors: $(nproc)  load: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "huge pages: $(cat /sys/kernel/mm/transparent_hugepage/enabled 2>/dev/null || echo unknown)"
echo "dcraw_emu: $(command -v dcraw_emu || echo missing)"
KV_TEST_TMP=${KV_TEST_TMP:-/dev/shm} "$bench" "$@"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
