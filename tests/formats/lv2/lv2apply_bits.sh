#!/usr/bin/env bash
# An independent LV2 host against the VST 2 build: lv2apply (lilv's own file
# host) renders the demo clip through the bundle, quillo-limit renders it
# through the VST 2 effect with the delay kept at the start. Where both have
# frames, their samples must be the same bits: the delay is the same, and the
# port values stand for the VST 2 values the tool sets.
#   lv2apply_bits.sh TOOLS_DIR LV2_DIR (the folder holding the bundle alone)
set -euo pipefail
fail() { echo "FAIL: $*" >&2; exit 1; }
tools=$1
LV2_PATH=$(cd "$2" && pwd)  # lilv takes an absolute folder only
export LV2_PATH
uri=$(lv2ls)
[ -n "$uri" ] || fail "no plug-in in $LV2_PATH"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$tools/quillo-demo-clip" "$scratch/in.wav"

# The data of two float WAV files, sample for sample over the shorter one.
same_samples() {
    python3 - "$1" "$2" <<'PY'
import struct, sys
def samples(path):
    data, at = open(path, 'rb').read(), 12
    while at < len(data):
        size = struct.unpack('<I', data[at + 4:at + 8])[0]
        if data[at:at + 4] == b'data':
            return data[at + 8:at + 8 + size]
        at += 8 + size + (size & 1)
    sys.exit('no data in ' + path)
lv2, vst2 = samples(sys.argv[1]), samples(sys.argv[2])
frames = len(lv2) // 8
if frames == 0 or len(vst2) // 8 <= frames or lv2 != vst2[:len(lv2)] or lv2.count(0) == len(lv2):
    sys.exit('%d frames from lv2apply differ from the VST 2 build' % frames)
PY
}

# Knee 40.15748 % is the whole Knee step 51 that quillo-limit's 40 % takes.
check() {
    local name=$1 lv2_controls=$2 tool_options=$3
    # shellcheck disable=SC2086
    lv2apply -i "$scratch/in.wav" -o "$scratch/$name-lv2.wav" $lv2_controls "$uri" >/dev/null ||
        fail "lv2apply ($name)"
    # shellcheck disable=SC2086
    "$tools/quillo-limit" --quiet --keep-latency --float $tool_options "$scratch/in.wav" "$scratch/$name-vst2.wav" ||
        fail "quillo-limit ($name)"
    same_samples "$scratch/$name-lv2.wav" "$scratch/$name-vst2.wav" || fail "$name"
}
check stereo "-c gain 3 -c knee 40.15748 -c iq 1" "--gain 3 --knee 40 --iq"
check left "-c gain -6.5 -c link 0 -c auto_select 0 -c force_channels 1" "--gain -6.5 --no-link --channels left"
echo "2 passed, 0 failed"
