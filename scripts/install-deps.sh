#!/usr/bin/env bash
# Installs the Debian packages the build and tests need, or with `demo` only
# those `make demo` builds from. Quiet and quick when everything is already
# present; needs root (apt-get) only when something is missing.
#   install-deps.sh [demo]
set -euo pipefail

# Installed without recommended packages: everything used is named here.
# The demo's set: quillo-limit, quillo-demo-clip and their libraries, so that
# a new machine limits its first clip within minutes.
demo=(
    cmake make g++ pkg-config                                 # native build
    libsndfile1-dev libebur128-dev                            # quillo-limit
)
packages=(
    "${demo[@]}" python3                                      # and python3 for a test script
    g++-mingw-w64-i686 binutils-mingw-w64-i686                # 32-bit Windows build
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64      # 64-bit Windows build
    wine wine32:i386 wine64 xvfb xauth                        # Windows tests, windows on a virtual display
    libgtest-dev libbenchmark-dev                             # tests and benchmark
    clang libclang-rt-14-dev                                  # fuzzing (libFuzzer)
    libx11-dev libxtst-dev                                    # the Linux editor window and its tests
    juce-modules-source libfreetype-dev libxext-dev           # the test host on JUCE's plug-in hosting (VST 3, LV2)
    zlib1g-dev libpng-dev libjpeg-dev                         #   and the libraries Debian's JUCE modules take from the system
    lv2-dev                                                   # the LV2 bundle: headers, and the schemas it is validated against
    liblilv-dev lilv-utils sordi                              # LV2 tests: lilv as the host, lv2apply, sord_validate
    x42-plugins                                               # make bench: the peer LV2 limiter beside the bundle
    imagemagick                                               # make screenshot
    dpkg-dev file                                             # make dist: the Debian package's dependencies
)

case "${1:-}" in
    '') ;;
    demo) packages=("${demo[@]}") ;;
    *) echo "usage: install-deps.sh [demo]" >&2; exit 2 ;;
esac

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
# Only 32-bit Wine needs the i386 architecture, whose package lists are long to fetch.
if [[ " ${missing[*]} " == *:i386\ * ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
echo "installing: ${missing[*]}" >&2
apt-get update -qq >/dev/null
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
