#!/usr/bin/env bash
# Sets up the machine, builds Release and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
tools/build.sh release
if [ -x build/release/Kelvadorium/kelvadorium ]; then
  exec build/release/Kelvadorium/kelvadorium "$@"
fi
echo "Built the image library, its tests and benchmarks in build/release."
echo "The program's window comes with later work; run tools/test.sh for the test suite."
