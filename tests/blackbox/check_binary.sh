#!/usr/bin/env bash
# Checks what the built plug-in shows the operating system: its format, its
# exports and (for the Windows DLL) that it needs nothing but system DLLs.
set -euo pipefail
kind=$1 file=$2
fail() { echo "FAIL: $*" >&2; exit 1; }

if [ "$kind" = dll ]; then
    dump=$(i686-w64-mingw32-objdump -p "$file")
    grep -q 'file format pei-i386' <<<"$dump" || fail "not a PE32 i386 image"
    exports=$(awk '/\[Ordinal\/Name Pointer\] Table/{t=1;next} t&&/^[ \t]*\[/{print $NF} t&&/^$/{t=0}' <<<"$dump")
    [ "$exports" = main ] || fail "exports are '$exports', expected only main"
    imports=$(awk '/DLL Name:/{print tolower($3)}' <<<"$dump" | sort -u)
    allowed='^(kernel32|user32|gdi32|msvcrt|advapi32|ntdll)\.dll$|^api-ms-win-'
    for dll in $imports; do
        grep -Eq "$allowed" <<<"$dll" || fail "imports non-system DLL $dll"
    done
    echo "dll: PE32 i386, exports: $exports, imports: $(echo $imports)"
else
    exports=$(nm -D --defined-only "$file" | awk '{print $3}' | sort | tr '\n' ' ')
    [ "$exports" = "VSTPluginMain main " ] || fail "exports are '$exports'"
    echo "so: exports: $exports"
fi
echo "1 passed, 0 failed"
