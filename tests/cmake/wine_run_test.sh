#!/usr/bin/env bash
# The 32-bit runner's decision, on any machine: forced, it starts nothing and
# ends the test as skipped; the probe takes a program the kernel refuses to
# execute (as kernels without IA-32 emulation refuse every 32-bit one) for a
# machine that runs no 32-bit programs, and a missing loader for none of its
# business.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

status=0
said=$(env -u QUILLO_NO_32BIT QUILLO_SKIP_32BIT=1 QUILLO_WINEPREFIX="$scratch/prefix" \
       bash "$root/cmake/wine-run.sh" "$scratch/never.exe") || status=$?
[ "$status" -eq 77 ] || fail "forced skip exited $status"
[ "$said" = "skipped: QUILLO_SKIP_32BIT=1 is set" ] || fail "forced skip said '$said'"
[ ! -e "$scratch/prefix" ] || fail "forced skip started Wine"

# An ELF header for a machine type no kernel runs: refused like a 32-bit
# program where IA-32 emulation is off (ENOEXEC).
{ printf '\177ELF\001\001\001'; head -c 45 /dev/zero; } >"$scratch/refused"
chmod +x "$scratch/refused"
said=$(env -u QUILLO_SKIP_32BIT bash "$root/cmake/probe-32bit.sh" "$scratch/refused")
[ "$said" = "this machine runs no 32-bit programs" ] || fail "refused program: '$said'"
said=$(env -u QUILLO_SKIP_32BIT bash "$root/cmake/probe-32bit.sh" "$scratch/missing")
[ -z "$said" ] || fail "missing loader: '$said'"
echo "wine-run.sh: forced skip, refused and missing loaders told apart"
