#!/usr/bin/env bash
# Installs what is needed, builds with the given preset (debug by default; release, asan,
# windows) and runs every test. The windows preset cross-builds and runs the tests under
# wine.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-debug}"

bash scripts/setup-debian.sh
if [ "$preset" = windows ]; then
    # The build runs the test binaries to list their tests, so wine must be ready before
    # it: the first run creates the wine prefix, and the server must be detached from our
    # output (scripts/wine-run.sh says why).
    scripts/wine-run.sh wineboot --init >/dev/null 2>&1
fi
cmake --preset "$preset"
cmake --build --preset "$preset"
QT_QPA_PLATFORM=offscreen ctest --preset "$preset" -j2
