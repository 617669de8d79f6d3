#!/usr/bin/env bash
# The server soak: the headless client at 1-s cycles against plantsim, which is killed,
# stalled (SIGSTOP) and restarted at random moments, for MINUTES of real time.
#   scripts/soak.sh [MINUTES]   30 by default
# Prints every fault with its moment, its return and the first fresh day row after it,
# then the summary; the whole output stays in build/<preset>/soak.log.
# TARVEDDE_SOAK_SEED repeats a run's schedule (the first line names its seed);
# TARVEDDE_SOAK_PRESET builds with another preset (default debug).
set -euo pipefail
cd "$(dirname "$0")/.."

minutes=${1:-30}
preset=${TARVEDDE_SOAK_PRESET:-debug}
if ! command -v cmake >/dev/null || ! command -v ninja >/dev/null; then
    bash scripts/setup-debian.sh
fi
cmake --preset "$preset" >/dev/null
cmake --build "build/$preset" -j2 --target server_soak_e2e >/dev/null

log=build/$preset/soak.log
status=0
TARVEDDE_SOAK_SECONDS=$((minutes * 60)) nice -n 10 \
    "build/$preset/tests/e2e/server_soak_e2e" >"$log" 2>&1 || status=$?
grep '^soak: ' "$log" || true
if [ "$status" -ne 0 ]; then
    echo "soak failed (exit status $status); the failures:"
    grep -B1 -A3 'Failure' "$log" | head -60
    echo "whole output: $log"
fi
exit "$status"
