#!/usr/bin/env bash
# Photographs the plug-in's editor window, live on a virtual display, while it
# limits a loud tone: the DLL's under Wine, the .so's embedded in an X11 host.
#   scripts/screenshot.sh [WIN32_BUILD_DIR [LINUX_BUILD_DIR]]
# Writes docs/editor.png and docs/editor-linux.png.
set -euo pipefail
cd "$(dirname "$0")/.."
win32="${1:-build/win32}"
linux="${2:-build/linux}"
windows_tool="$win32/tests/editor/quillo_editor_screenshot.exe"
linux_tool="$linux/tests/editor/quillo_editor_screenshot"
for tool in "$windows_tool" "$linux_tool"; do
    if [ ! -f "$tool" ]; then
        echo "missing $tool: build both targets first (make build)" >&2
        exit 1
    fi
done
mkdir -p docs
picture="$(mktemp --suffix=.bmp)"
trap 'rm -f "$picture"' EXIT
QUILLO_NEEDS_DISPLAY=1 bash cmake/wine-run.sh "$windows_tool" "Z:$picture"
convert "$picture" -strip docs/editor.png
echo "wrote docs/editor.png"
xvfb-run -a -s "-screen 0 1024x768x24" "$linux_tool" "$picture"
convert "$picture" -strip docs/editor-linux.png
echo "wrote docs/editor-linux.png"
