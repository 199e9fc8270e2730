#!/usr/bin/env bash
# Sets up the machine, builds Release and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
tools/build.sh release
if [ -x build/release/Kelvadorium/kelvadorium ]; then
  exec build/release/Kelvadorium/kelvadorium "$@"
fi
echo "The program was not built; see the build output above." >&2
exit 1
