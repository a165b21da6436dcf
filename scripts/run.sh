#!/usr/bin/env bash
# Builds everything and runs the application under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/build.sh
echo "# built: $(ls build/bin)"
