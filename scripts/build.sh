#!/usr/bin/env bash
# Installs what is missing, then configures and builds one preset (default: everything into
# build/; release: the size-optimised programs into build-release/; handheld: the program for the
# handheld into build-handheld/, which fails on a call the handheld lacks).
set -euo pipefail
cd "$(dirname "$0")/.."

preset=${1:-default}
binary_dir=build
[ "$preset" = default ] || binary_dir=build-$preset

scripts/deps.sh
[ -f "$binary_dir/CMakeCache.txt" ] || cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
