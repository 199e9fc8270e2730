#!/usr/bin/env bash
# Rewrites the end-to-end reference images in tests/reference/ from the current build. Run it only
# when a change to the rendered pixels is intended, and look at the new images before committing.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/build.sh release
KV_WRITE_REFERENCES=1 build/release/tests/ReferenceImages_test
git status --short tests/reference
