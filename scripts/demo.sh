#!/usr/bin/env bash
# The demo: synthesise a hot clip of kick, snare and bass, limit it with
# quillo-limit and draw the report. Writes demo/input.wav, demo/output.wav and
# demo/report.svg and prints the summary. Usage: scripts/demo.sh [BUILD_DIR]
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-build/linux}"
case "$build" in
    /*) ;;
    *) build="$PWD/$build" ;;
esac
tools="$build/tools"
for program in quillo-demo-clip quillo-limit; do
    if [ ! -x "$tools/$program" ]; then
        echo "demo: $tools/$program is missing; build first (make linux)" >&2
        exit 1
    fi
done

cd "$root"
mkdir -p demo
"$tools/quillo-demo-clip" demo/input.wav
"$tools/quillo-limit" --report demo/report.svg demo/input.wav demo/output.wav
echo
echo "demo: listen to demo/input.wav (peaks far above 0 dBFS) and demo/output.wav"
echo "demo: (limited to 0 dBFS, aligned with the input); demo/report.svg shows how."
