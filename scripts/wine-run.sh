#!/usr/bin/env bash
# Runs one Windows executable under Wine: wine-run.sh [--tests] BUILD_DIR PROGRAM [ARG...], in the
# person's prefix of the build directory or, with --tests (CTest's emulator), in the tests' own on
# their private display, which CTest's "wine" fixture starts.
set -eu
tests=""
if [ "$1" = --tests ]; then
    tests=1
    shift
fi
WINE_BUILD_DIR=$(realpath "$1")
shift
source "$(dirname "$0")/wine-env.sh"
[ -z "$tests" ] || wine_use_tests_session
exec "$WINELOADER" "$@"
