#!/usr/bin/env bash
# Installs what building and testing need on a Debian machine, when it is missing.
set -eu
packages=(
    cmake ninja-build g++ make libgtest-dev googletest
    g++-mingw-w64-x86-64-posix mingw-w64-tools
    wine wine64 xvfb xauth imagemagick
    python3 python3-pyftpdlib vsftpd curl lftp hyperfine valgrind
    clang libclang-rt-14-dev
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
