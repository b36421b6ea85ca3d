#!/usr/bin/env bash
# Compiles each CLAP declaration header alone, so that its static_asserts pin the layouts of
# 64-bit Linux, 64-bit and 32-bit Windows.   check_headers.sh [COMPILER...]
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
for cxx in ${*:-g++ x86_64-w64-mingw32-g++-posix i686-w64-mingw32-g++-posix}; do
    for header in clap_abi.h clap_extensions.h; do
        echo "#include \"formats/clap/$header\"" |
            "$cxx" -std=c++17 -Wall -Wextra -Wpedantic -Werror -fsyntax-only -I"$root" -x c++ -
    done
    echo "$cxx: ok"
done
