#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, those missing only, and says how the
# handheld half's 32-bit programs will run here (scripts/handheld-way.sh).
set -euo pipefail
project=$(cd "$(dirname "$0")/.." && pwd)
source "$project/scripts/handheld-way.sh"

# clang, lld and clang-format: the second compiler and the layout check of scripts/test.sh;
# wine32 (of the i386 architecture), the 32-bit half that runs the handheld program; g++, gcab
# and cabextract: the cabinet writer, which runs on this machine during the build, the cabinet it
# makes, and the installer's unpacking (scripts/handheld-install.sh).
packages=(cmake ninja-build g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
          wine wine64 wine32:i386 fonts-wine xvfb googletest clang lld clang-format git g++ gcab
          cabextract)
# Where the kernel runs no 32-bit programs: the virtual machine of vm/, this machine's own files
# under a kernel of Debian's that runs them.
emulation_packages=(qemu-system-x86 linux-image-amd64 busybox-static cpio kmod)

if ! kernel_runs_32bit || [ "${MUNTARA_HANDHELD_WAY:-}" = emulated ]; then
    packages+=("${emulation_packages[@]}")
fi

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done

sudo=""
log=$(mktemp)
trap 'rm -f "$log"' EXIT

# apt_get ARGS...: apt-get, quiet, its own words shown only when it fails.
apt_get() {
    if ! $sudo env DEBIAN_FRONTEND=noninteractive apt-get -q "$@" >"$log" 2>&1; then
        tail -n 25 "$log" >&2
        return 1
    fi
}

# An architecture's index can lag the other's (i386 security updates behind amd64 ones): the
# packages of both, which must be of one version, then cannot be installed together. The release
# itself holds one version for both.
install_missing() {
    local release
    echo "# installing: ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || { echo "run as root, or install sudo, to install these" >&2; exit 1; }
        sudo=sudo
    fi
    dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
    apt_get update || echo "# apt-get update failed for some indexes (above); going on with those it has" >&2
    apt_get install -y "${missing[@]}" && return 0
    release=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    [ -n "$release" ] || { echo "apt-get could not install the packages (above)" >&2; exit 1; }
    echo "# apt-get could not install them as the archive stands (above): installing from the" \
         "release, $release, where the architectures' versions agree" >&2
    apt_get install -y -t "$release" "${missing[@]}" ||
        { echo "apt-get could not install the packages from $release either (above)" >&2; exit 1; }
}

[ ${#missing[@]} -eq 0 ] || install_missing
decide_handheld_way
case $handheld_way in
native) ;;
emulated) echo "# this kernel runs no 32-bit programs: the handheld half runs in a virtual machine (vm/)" ;;
none) echo "# the handheld half cannot run here: $handheld_way_reason" >&2 ;;
esac
