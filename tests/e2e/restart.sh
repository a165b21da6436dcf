#!/usr/bin/env bash
# The settings survive a restart across a clean end of the Wine server, which is when the
# registry reaches the disk. Runs alone: the server can only end when no other test runs.
set -euo pipefail
WINE_BUILD_DIR=$(realpath "$1")
source "$(dirname "$0")/../../scripts/wine-env.sh"
wine_use_tests_session

phase() {
    wine "$WINE_BUILD_DIR/bin/e2e_tests.exe" --gtest_also_run_disabled_tests \
        --gtest_filter="$1"
}

phase ServerRestartTest.DISABLED_BeforeTheServerEnds
wine_end_server
phase AfterServerRestartTest.DISABLED_AfterTheServerEnded
