#!/usr/bin/env bash
# Installs what is needed, builds with the given preset (debug by default; release, asan)
# and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-debug}"

bash scripts/setup-debian.sh
cmake --preset "$preset"
cmake --build --preset "$preset"
QT_QPA_PLATFORM=offscreen ctest --preset "$preset" -j2
