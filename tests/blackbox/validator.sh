#!/usr/bin/env bash
# Runs the third-party plug-in validator on the built .so, the tests that open
# and close its editor included, on a virtual display:
#   validator.sh PLUGIN.so [VALIDATOR_RUN_SH...]
# The first existing candidate is used: $QUILLO_VALIDATOR, then the arguments.
# Exits 77 (reported as skipped) where there is none.
set -euo pipefail
plugin=$1
shift
for candidate in "${QUILLO_VALIDATOR:-}" "$@"; do
    if [ -n "$candidate" ] && [ -f "$candidate" ]; then
        start=$SECONDS
        status=0
        xvfb-run -a -s "-screen 0 1024x768x24" bash "$candidate" --strictness-level 10 --validate "$plugin" \
            >validator.log 2>&1 || status=$?
        grep -E '^(Starting tests in|!!!|\*\*\*|FAILED|SUCCESS)' validator.log || true
        echo "validator: $candidate, exit $status, $((SECONDS - start)) s (full log: $PWD/validator.log)"
        exit $status
    fi
done
echo "no validator found (set QUILLO_VALIDATOR or the QUILLO_VALIDATOR cache variable)"
exit 77
