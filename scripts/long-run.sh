#!/usr/bin/env bash
# The long run: the 180-item plant for DAYS simulated days of 10-s cycles (30 by default)
# on the release build, a line per day with memory, open files and the directory's size;
# then the same days again under LeakSanitizer. Further arguments go to both runs
# (tarvedde-longrun --help). Exit status 1 when a check of either run failed (the line
# says which). Both runs are niced: they take a core for a while.
set -euo pipefail
cd "$(dirname "$0")/.."
days="${1:-30}"
shift || true

bash scripts/setup-debian.sh
cmake --preset release >/dev/null
cmake --build --preset release --target tarvedde-longrun tarvedde-longrun-lsan
# A month of cycles in minutes writes the state files some 250 000 times: in memory, not on
# the machine's disk.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
    export TMPDIR=/dev/shm
fi
status=0
echo "== memory and open files"
nice -n 10 build/release/tests/longrun/tarvedde-longrun --days "$days" "$@" || status=1
echo "== leaks and open files under LeakSanitizer"
nice -n 10 build/release/tests/longrun/tarvedde-longrun-lsan --days "$days" "$@" || status=1
exit "$status"
