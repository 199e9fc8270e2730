#!/usr/bin/env bash
# Configures and builds one variant: release (default) or sanitize (ASan + UBSan: the library,
# the program's model and the tests, no benchmarks). Build folders live under build/ in the clone.
set -euo pipefail
cd "$(dirname "$0")/.."
variant=${1:-release}
case "$variant" in
  release) flags=(-DCMAKE_BUILD_TYPE=Release) ;;
  # Light optimisation and line tables only: enough for the sanitizers' stack traces, and the
  # instrumented build compiles several times faster than at -O2 -g.
  sanitize) flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-Og -g1 -DNDEBUG"
                   "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-Og -g1 -DNDEBUG" -DKV_SANITIZE=ON -DKV_BUILD_BENCH=OFF) ;;
  *) echo "usage: tools/build.sh [release|sanitize]" >&2; exit 2 ;;
esac
cmake -S . -B "build/$variant" -G Ninja "${flags[@]}" >/dev/null
cmake --build "build/$variant"
