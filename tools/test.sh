#!/usr/bin/env bash
# Sets up the machine, checks that no include reaches a higher floor, builds Release and runs
# every test, then runs the library's and the model's tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
tools/upward_includes.sh
jobs=$(nproc)
tools/build.sh release
ctest --test-dir build/release --output-on-failure -j "$jobs"
tools/build.sh sanitize
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/sanitize --output-on-failure -j "$jobs"
