#!/usr/bin/env bash
# A CTest entry that runs 32-bit code: handheld-entry.sh BUILD_DIR COMMAND... runs COMMAND the way
# the "handheld_vm" fixture (vm-session.sh) chose for the run: as it is, in the tests' virtual
# machine, or not at all, reported to CTest as skipped (77) with the reason.
set -euo pipefail
build=$(realpath "$1")
shift
way=$(sed -n 1p "$build/handheld-way" 2>/dev/null || echo "none")
case $way in
native) exec "$@" ;;
emulated) MUNTARA_VM_STATE=$build/vm exec "$(dirname "$0")/../vm/vm.sh" run tests "$@" ;;
*)
    echo "skipped: $(sed -n 2p "$build/handheld-way" 2>/dev/null || echo "no way chosen (the handheld_vm fixture)")"
    exit 77
    ;;
esac
