#!/usr/bin/env bash
# Says why 32-bit programs cannot run here, or nothing where they can. Some
# kernels have IA-32 emulation off (on some virtual and cloud machines): they
# refuse every 32-bit ELF, Wine's 32-bit loader included, with "Exec format
# error", which the shell reports as status 126. The machine is asked by
# running that loader (or PROGRAM), never judged by what is installed; a
# loader that is missing is a broken install, left for the tests to report.
# QUILLO_SKIP_32BIT=1 answers no on any machine.
#   probe-32bit.sh [PROGRAM]
program="${1:-/usr/lib/wine/wine}"
if [ "${QUILLO_SKIP_32BIT:-}" = 1 ]; then
    echo "QUILLO_SKIP_32BIT=1 is set"
    exit 0
fi
status=0
"$program" --version >/dev/null 2>&1 || status=$?
if [ "$status" -eq 126 ] && [ -x "$program" ]; then
    echo "this machine runs no 32-bit programs"
fi
exit 0
