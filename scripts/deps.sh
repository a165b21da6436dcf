#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, those missing only.
set -euo pipefail

# clang, lld and clang-format: the second compiler and the layout check of scripts/test.sh;
# wine32 (of the i386 architecture), the 32-bit half that runs the handheld program; g++, gcab and
# cabextract: the cabinet writer, which runs on this machine during the build, the cabinet it
# makes, and the installer's unpacking (scripts/handheld-install.sh).
packages=(cmake ninja-build g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
          wine wine64 wine32:i386 fonts-wine xvfb googletest clang lld clang-format git g++ gcab
          cabextract)

# The handheld program is 32-bit: this machine must run 32-bit programs, which no package mends.
check_32bit() {
    [ ! -x /usr/lib/wine/wine ] || /usr/lib/wine/wine --version >/dev/null 2>&1 || {
        echo "this machine cannot run 32-bit programs (its kernel has no 32-bit x86 support):" \
             "the handheld program cannot run here" >&2
        exit 1
    }
}

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
    check_32bit
    exit 0
fi

echo "# installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "run as root, or install sudo, to install these" >&2; exit 1; }
    sudo=sudo
fi
dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
$sudo apt-get update -qq
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
check_32bit
