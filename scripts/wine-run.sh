#!/usr/bin/env bash
# CTest's emulator: runs one Windows executable under Wine in the prefix of the build directory
# given first.
set -eu
WINE_BUILD_DIR=$(realpath "$1")
shift
source "$(dirname "$0")/wine-env.sh"
exec wine "$@"
