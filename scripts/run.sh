#!/usr/bin/env bash
# Builds everything and runs the application under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/build.sh
echo "# built: $(cd build && ls -1 ./*.exe ./*/*.exe 2>/dev/null | tr '\n' ' ')"
