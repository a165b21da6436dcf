#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, those missing only.
set -euo pipefail

# clang, lld and clang-format: the second compiler and the layout check of scripts/test.sh.
# g++, gcab and cabextract: the cabinet writer, which runs on this machine during the build, the
# cabinet it makes, and the installer's unpacking (scripts/handheld-install.sh).
packages=(cmake ninja-build g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
          wine wine64 fonts-wine xvfb googletest clang lld clang-format git g++ gcab cabextract)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "# installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "run as root, or install sudo, to install these" >&2; exit 1; }
    sudo=sudo
fi
$sudo apt-get update -qq
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
