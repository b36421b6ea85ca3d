#!/usr/bin/env bash
# Runs a Windows program under Wine with a private, quiet prefix: a 32-bit one,
# or after --win64 a 64-bit one through Wine's 64-bit loader. Tests that open
# windows (QUILLO_NEEDS_DISPLAY) get a virtual X display when none is set.
#   wine-run.sh [--win64] PROGRAM [ARGUMENT...]
set -euo pipefail
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win32
wine=wine
prefix="${QUILLO_WINEPREFIX:-${TMPDIR:-/tmp}/quillo-wine-$(id -u)}"
if [ "${1:-}" = --win64 ]; then
    shift
    export WINEARCH=win64
    # Debian keeps the 64-bit loader off the PATH.
    wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
    prefix="${QUILLO_WINE64PREFIX:-${TMPDIR:-/tmp}/quillo-wine64-$(id -u)}"
fi
export WINEPREFIX="$prefix"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$wine" wineboot --init >/dev/null 2>&1 || true
    wineserver -w || true
fi
if [ -n "${QUILLO_NEEDS_DISPLAY:-}" ] && [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$wine" "$@"
fi
exec "$wine" "$@"
