#!/usr/bin/env bash
# Checks what the built plug-in shows the operating system: its format, its
# exports and (for the Windows DLLs) that it needs nothing but system DLLs.
# The VST 2 kinds are dll, dll64 and so; the VST 3 module's are vst3-dll,
# vst3-dll64 and vst3-so; the CLAP module's clap-dll64 and clap-so.
#   check_binary.sh KIND FILE
set -euo pipefail
kind=$1 file=$2
fail() { echo "FAIL: $*" >&2; exit 1; }

check_dll() {
    local objdump=$1 format=$2 expected=$3
    dump=$("$objdump" -p "$file")
    grep -q "file format $format" <<<"$dump" || fail "not a $format image"
    exports=$(awk '/\[Ordinal\/Name Pointer\] Table/{t=1;next} t&&/^[ \t]*\[/{print $NF} t&&/^$/{t=0}' <<<"$dump" |
              sort | tr '\n' ' ')
    [ "$exports" = "$expected" ] || fail "exports are '$exports', expected '$expected'"
    imports=$(awk '/DLL Name:/{print tolower($3)}' <<<"$dump" | sort -u)
    allowed='^(kernel32|user32|gdi32|msvcrt|advapi32|ntdll)\.dll$|^api-ms-win-'
    for dll in $imports; do
        grep -Eq "$allowed" <<<"$dll" || fail "imports non-system DLL $dll"
    done
    echo "$kind: $format, exports: $exports, imports: $(echo $imports)"
}

check_so() {
    local expected=$1
    exports=$(nm -D --defined-only "$file" | awk '{print $3}' | sort | tr '\n' ' ')
    [ "$exports" = "$expected" ] || fail "exports are '$exports', expected '$expected'"
    echo "$kind: exports: $exports"
}

case "$kind" in
    dll) check_dll i686-w64-mingw32-objdump pei-i386 "main " ;;
    dll64) check_dll x86_64-w64-mingw32-objdump pei-x86-64 "VSTPluginMain main " ;;
    vst3-dll) check_dll i686-w64-mingw32-objdump pei-i386 "ExitDll GetPluginFactory InitDll " ;;
    vst3-dll64) check_dll x86_64-w64-mingw32-objdump pei-x86-64 "ExitDll GetPluginFactory InitDll " ;;
    so) check_so "VSTPluginMain main " ;;
    vst3-so) check_so "GetPluginFactory ModuleEntry ModuleExit " ;;
    clap-dll64) check_dll x86_64-w64-mingw32-objdump pei-x86-64 "clap_entry " ;;
    clap-so) check_so "clap_entry " ;;
    *) fail "unknown kind $kind" ;;
esac
echo "1 passed, 0 failed"
