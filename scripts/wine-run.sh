#!/usr/bin/env bash
# Runs one Windows executable under Wine: wine-run.sh [--tests] BUILD_DIR PROGRAM [ARG...], in the
# person's prefix of the build directory or, with --tests (CTest's emulator), in the tests' own.
set -eu
role=""
if [ "$1" = --tests ]; then
    role=tests
    shift
fi
WINE_BUILD_DIR=$(realpath "$1")
shift
source "$(dirname "$0")/wine-env.sh"
[ -z "$role" ] || wine_use_prefix "$role"
exec wine "$@"
