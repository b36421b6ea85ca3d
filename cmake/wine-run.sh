#!/usr/bin/env bash
# Runs a 32-bit Windows program under Wine with a private, quiet prefix; tests
# that open windows (QUILLO_NEEDS_DISPLAY) get a virtual X display when none is set.
set -euo pipefail
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win32
export WINEPREFIX="${QUILLO_WINEPREFIX:-${TMPDIR:-/tmp}/quillo-wine-$(id -u)}"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot --init >/dev/null 2>&1 || true
    wineserver -w || true
fi
if [ -n "${QUILLO_NEEDS_DISPLAY:-}" ] && [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" wine "$@"
fi
exec wine "$@"
