#!/usr/bin/env bash
# Checks the release packages as a user receives them. The Debian package is
# unpacked into a scratch root: its declared dependencies, exactly its files,
# the four plug-ins where Linux hosts look (VST 2, VST 3, LV2, CLAP), and
# quillo-limit runs from it. The Windows zip holds the licence, both DLLs, each
# in its folder, the VST 3 bundle with its three binaries and the CLAP
# plug-in, each with its format, exports and imports.   check_packages.sh DIST_DIR
set -euo pipefail
export LC_ALL=C  # file lists sorted byte by byte
dist=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
check_binary="$here/../blackbox/check_binary.sh"
fail() { echo "FAIL: $*" >&2; exit 1; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

only() {
    local kind=$1
    shift
    [ $# -eq 1 ] && [ -f "$1" ] || fail "expected one .$kind package in $dist"
    echo "$1"
}
deb=$(only deb "$dist"/*.deb)
zip=$(only zip "$dist"/*.zip)

version=$(dpkg-deb -f "$deb" Version)
depends=$(dpkg-deb -f "$deb" Depends)
for library in libsndfile1 libebur128-1 libx11-6; do
    grep -Eq "(^|, )$library( |,|$)" <<<"$depends" || fail "Depends lacks $library: $depends"
done
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $NF}' | sort | tr '\n' ' ')
bundle=Vrn-Quillo_Limiter.vst3/Contents
lv2="./usr/lib/lv2/vrn-quillo-limiter.lv2"
expected="./usr/bin/quillo-limit ./usr/lib/clap/Vrn-Quillo_Limiter.clap $lv2/manifest.ttl $lv2/presets.ttl $lv2/vrn-quillo-limiter-ui.so \
$lv2/vrn-quillo-limiter.so $lv2/vrn-quillo-limiter.ttl ./usr/lib/vst/Vrn-Quillo_Limiter.so \
./usr/lib/vst3/$bundle/x86_64-linux/Vrn-Quillo_Limiter.so ./usr/share/doc/vrn-quillo-limiter/copyright "
[ "$files" = "$expected" ] || fail "the .deb holds '$files'"
root="$scratch/root"
dpkg -x "$deb" "$root"
bash "$check_binary" so "$root/usr/lib/vst/Vrn-Quillo_Limiter.so" >/dev/null
bash "$check_binary" vst3-so "$root/usr/lib/vst3/$bundle/x86_64-linux/Vrn-Quillo_Limiter.so" >/dev/null
bash "$check_binary" clap-so "$root/usr/lib/clap/Vrn-Quillo_Limiter.clap" >/dev/null
bash "$here/../formats/lv2/check_bundle.sh" "$root/usr/lib/lv2/vrn-quillo-limiter.lv2" >/dev/null
[ -n "$(LV2_PATH="$root/usr/lib/lv2" lv2ls)" ] || fail "lilv finds no plug-in in the installed bundle"
answer=$("$root/usr/bin/quillo-limit" --version) || fail "installed quillo-limit --version failed"
[ "$answer" = "quillo-limit $version" ] || fail "installed quillo-limit says '$answer', package is $version"
grep -q '^MIT License' "$root/usr/share/doc/vrn-quillo-limiter/copyright" || fail "no licence in the .deb"
echo "deb: $(basename "$deb"), Depends: $depends"

cmake -E chdir "$scratch" cmake -E tar xf "$zip"
top="$scratch/$(basename "$zip" .zip)"
[ -d "$top" ] || fail "the zip does not unpack into one folder named as itself"
files=$(cd "$top" && find . -type f | sort | tr '\n' ' ')
expected="./32-bit/Vrn-Quillo_Limiter.dll ./64-bit/Vrn-Quillo_Limiter.dll ./CLAP/Vrn-Quillo_Limiter.clap ./LICENSE.txt ./$bundle/x86-win/Vrn-Quillo_Limiter.vst3 ./$bundle/x86_64-linux/Vrn-Quillo_Limiter.so ./$bundle/x86_64-win/Vrn-Quillo_Limiter.vst3 "
[ "$files" = "$expected" ] || fail "the zip holds '$files'"
bash "$check_binary" dll "$top/32-bit/Vrn-Quillo_Limiter.dll" >/dev/null
bash "$check_binary" dll64 "$top/64-bit/Vrn-Quillo_Limiter.dll" >/dev/null
bash "$check_binary" vst3-dll "$top/$bundle/x86-win/Vrn-Quillo_Limiter.vst3" >/dev/null
bash "$check_binary" vst3-dll64 "$top/$bundle/x86_64-win/Vrn-Quillo_Limiter.vst3" >/dev/null
bash "$check_binary" vst3-so "$top/$bundle/x86_64-linux/Vrn-Quillo_Limiter.so" >/dev/null
bash "$check_binary" clap-dll64 "$top/CLAP/Vrn-Quillo_Limiter.clap" >/dev/null
grep -q '^MIT License' "$top/LICENSE.txt" || fail "no licence in the zip"
echo "zip: $(basename "$zip"): 32-bit and 64-bit DLLs, the VST 3 bundle, the CLAP plug-in, LICENSE.txt"
echo "1 passed, 0 failed"
