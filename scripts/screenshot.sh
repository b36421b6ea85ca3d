#!/usr/bin/env bash
# Photographs the plug-in's editor window, live under Wine on a virtual
# display, while it limits a loud tone:  scripts/screenshot.sh [WIN32_BUILD_DIR]
# Writes docs/editor.png.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/win32}"
tool="$build/tests/editor/quillo_editor_screenshot.exe"
if [ ! -f "$tool" ]; then
    echo "missing $tool: build the Windows target first (make win32)" >&2
    exit 1
fi
mkdir -p docs
picture="$(mktemp --suffix=.bmp)"
trap 'rm -f "$picture"' EXIT
QUILLO_NEEDS_DISPLAY=1 bash cmake/wine-run.sh "$tool" "Z:$picture"
convert "$picture" -strip docs/editor.png
echo "wrote docs/editor.png"
