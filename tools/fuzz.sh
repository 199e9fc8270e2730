#!/usr/bin/env bash
# Fuzzes the library's readers with libFuzzer, built with clang-16 under AddressSanitizer and
# UndefinedBehaviorSanitizer in build/fuzz (install the compiler once: tools/setup.sh --fuzz).
# Each target in fuzz/ starts from its seeds in fuzz/corpus/<target>/ and writes what breaks it
# to fuzz/crashes/<target>/; the tests replay both folders, so commit a reproducer with its fix.
#
#   tools/fuzz.sh [seconds]            every target for `seconds` (600), three at a time
#   tools/fuzz.sh <target> [seconds]   one target, e.g. tools/fuzz.sh decode_tiff 60
#   tools/fuzz.sh list                 the targets
#   tools/fuzz.sh seeds                writes the seed corpora again from the test fixtures
#
# Inputs that reach new code are kept in build/fuzz/corpus/<target>/; logs with the executions
# per target in build/fuzz/logs/. KV_FUZZ_JOBS sets how many run at once.
set -euo pipefail
cd "$(dirname "$0")/.."

targets() { for f in fuzz/*_fuzzer.cpp; do basename "$f" _fuzzer.cpp; done; }

build() {
  CC=clang-16 CXX=clang++-16 cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKV_FUZZ=ON -DKV_BUILD_TESTS=OFF -DKV_BUILD_BENCH=OFF >/dev/null
  cmake --build build/fuzz
}

run() {
  local target=$1 seconds=$2
  mkdir -p "build/fuzz/corpus/$target" "fuzz/crashes/$target" build/fuzz/logs
  echo "fuzz: $target for ${seconds}s"
  # The crash reproducers are kept; the corpus found along the way stays in build/.
  if ! "build/fuzz/fuzz/${target}_fuzzer" -max_total_time="$seconds" -timeout=30 \
      -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="fuzz/crashes/$target/" \
      "build/fuzz/corpus/$target" "fuzz/corpus/$target" >"build/fuzz/logs/$target.log" 2>&1; then
    echo "fuzz: $target found a failure, see build/fuzz/logs/$target.log" >&2
    return 1
  fi
  echo "fuzz: $target: $(grep -o 'stat::number_of_executed_units: [0-9]*' \
    "build/fuzz/logs/$target.log" | grep -o '[0-9]*$') executions"
}

case "${1:-}" in
  list)
    targets
    ;;
  seeds)
    tools/build.sh release
    rm -rf fuzz/corpus
    build/release/fuzz/kv_fuzz_seeds fuzz/corpus
    ;;
  "" | [0-9]*)
    build
    seconds=${1:-600}
    status=0
    for target in $(targets); do
      while [ "$(jobs -rp | wc -l)" -ge "${KV_FUZZ_JOBS:-3}" ]; do wait -n || status=1; done
      run "$target" "$seconds" &
    done
    while [ "$(jobs -rp | wc -l)" -gt 0 ]; do wait -n || status=1; done
    exit $status
    ;;
  *)
    [ -f "fuzz/$1_fuzzer.cpp" ] || { echo "unknown target $1; tools/fuzz.sh list" >&2; exit 2; }
    build
    run "$1" "${2:-600}"
    ;;
esac
