#!/usr/bin/env bash
# Runs a Windows program under Wine with a private, quiet prefix: a 32-bit one,
# or after --win64 a 64-bit one through Wine's 64-bit loader. Tests that open
# windows (QUILLO_NEEDS_DISPLAY) get a virtual X display when none is set.
# Where 32-bit programs cannot run, a 32-bit one is not started (exit 77).
#   wine-run.sh [--win64] PROGRAM [ARGUMENT...]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
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
else
    # On a machine that runs no 32-bit program the 32-bit tree's tests end with
    # its SKIP_RETURN_CODE, so they show as skipped, never as passed. `make`
    # asks the machine once and passes the answer on (QUILLO_NO_32BIT, empty
    # where they run); run alone, the runner asks.
    no_32bit="${QUILLO_NO_32BIT-$(bash "$here/probe-32bit.sh")}"
    if [ -n "$no_32bit" ]; then
        echo "skipped: $no_32bit"
        exit 77
    fi
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
