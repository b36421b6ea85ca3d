#!/usr/bin/env bash
# Installs the Debian packages the build and tests need. Quiet and quick when
# everything is already present; needs root (apt-get) only when something is missing.
set -euo pipefail

packages=(cmake make g++ clang libclang-rt-14-dev g++-mingw-w64-i686 binutils-mingw-w64-i686 wine wine32:i386 wine64
          xvfb xauth libgtest-dev libbenchmark-dev libsndfile1-dev libebur128-dev
          python3 imagemagick)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${missing[*]} (run this script as root to install them)" >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
echo "installing: ${missing[*]}" >&2
apt-get update -qq >/dev/null
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
