#!/usr/bin/env bash
# CTest's "handheld_vm" fixture: `start BUILD_DIR` chooses how this run's 32-bit entries run
# (scripts/handheld-way.sh) and writes it to BUILD_DIR/handheld-way, the way on its first line and,
# for none, the reason on its second; emulated, it boots the tests' virtual machine, whose one
# Wine session serves every such entry. `end BUILD_DIR` stops it.
set -euo pipefail
action=$1
build=$(realpath "$2")
project=$(cd "$(dirname "$0")/.." && pwd)
export MUNTARA_VM_STATE=$build/vm
source "$project/scripts/handheld-way.sh"

case $action in
start)
    decide_handheld_way
    printf '%s\n%s\n' "$handheld_way" "$handheld_way_reason" >"$build/handheld-way"
    echo "# the handheld half runs ${handheld_way}${handheld_way_reason:+: $handheld_way_reason}"
    [ "$handheld_way" != emulated ] || "$project/vm/vm.sh" start tests
    ;;
end)
    [ "$(sed -n 1p "$build/handheld-way" 2>/dev/null)" != emulated ] || "$project/vm/vm.sh" stop tests
    ;;
*)
    echo "usage: vm-session.sh start|end BUILD_DIR" >&2
    exit 2
    ;;
esac
