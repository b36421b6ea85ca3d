#!/usr/bin/env bash
# The bundle's files as a host and a validator see them: the Turtle files are
# valid against the LV2 schemas Debian ships (sord_validate), the audio binary
# links nothing of a window system, and each binary exports its descriptor
# function and nothing else.   check_bundle.sh BUNDLE_DIR [LV2_SCHEMA_DIR]
set -euo pipefail
bundle=$1
schemas=${2:-/usr/lib/lv2}
fail() { echo "FAIL: $*" >&2; exit 1; }

vocabularies=()
for vocabulary in core ui units presets port-props port-groups options schemas; do
    vocabularies+=("$schemas/$vocabulary.lv2"/*.ttl)
done
sord_validate "${vocabularies[@]}" "$bundle"/*.ttl || fail "sord_validate found errors in $bundle"

needed=$(readelf -d "$bundle/vrn-quillo-limiter.so" | awk '/NEEDED/ {print $NF}')
if grep -Eqi 'libx|xcb|gtk|gdk' <<<"$needed"; then
    fail "the audio binary links a window system: $needed"
fi
exports() { nm -D --defined-only "$1" | awk '$2 ~ /^[TDBRVW]$/ {print $3}' | sort | tr '\n' ' '; }
[ "$(exports "$bundle/vrn-quillo-limiter.so")" = "lv2_descriptor " ] || fail "the audio binary exports $(exports "$bundle/vrn-quillo-limiter.so")"
[ "$(exports "$bundle/vrn-quillo-limiter-ui.so")" = "lv2ui_descriptor " ] || fail "the UI binary exports $(exports "$bundle/vrn-quillo-limiter-ui.so")"
echo "1 passed, 0 failed"
