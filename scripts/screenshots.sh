#!/usr/bin/env bash
# Pictures of the desktop program's windows for a reviewer. Installs what it needs (the
# project's packages, Xvfb and fonts, through scripts/setup-debian.sh), then runs the demo
# plant as scripts/demo.sh does, with the desktop program on a virtual X server: after a
# few cycles, so that the windows show values, the program saves a picture of every
# window in docs/screenshots/ (<menu item>.png, main.png) and ends itself. The trend
# window's picture is also kept as trend.png, which the README shows.
#   TARVEDDE_SCREENSHOT_DELAY  seconds of acquisition before the pictures (default 150)
#   TARVEDDE_DEMO_BUILD        an existing build directory instead of installing and building
#   TARVEDDE_DEMO_DIR          the demo plant's directory (default: a fresh one, removed after)
set -euo pipefail
cd "$(dirname "$0")/.."
out="$PWD/docs/screenshots"
delay="${TARVEDDE_SCREENSHOT_DELAY:-150}"

bash scripts/setup-debian.sh xvfb xauth fonts-dejavu-core

# Built before the time limit below starts.
if [ -z "${TARVEDDE_DEMO_BUILD:-}" ]; then
    cmake --preset release
    cmake --build --preset release
    export TARVEDDE_DEMO_BUILD=build/release
fi

# A fresh plant unless told otherwise, so the pictures do not depend on earlier runs.
if [ -z "${TARVEDDE_DEMO_DIR:-}" ]; then
    TARVEDDE_DEMO_DIR="$(mktemp -d)/demo"
    trap 'rm -rf "$(dirname "$TARVEDDE_DEMO_DIR")"' EXIT
fi
export TARVEDDE_DEMO_DIR
unset TARVEDDE_HEADLESS

mkdir -p "$out"
rm -f "$out"/*.png
# The program closes its window after the tour (as the operator would, through the stop
# countdown); the time limit only catches a program that hangs.
timeout --signal=TERM --kill-after=30 $((delay + 180)) \
    xvfb-run --auto-servernum --server-args="-screen 0 1600x1000x24" \
    bash scripts/demo.sh --screenshots "$out" --screenshot-delay "$delay"

if [ ! -s "$out/main.png" ] || [ ! -s "$out/Tagesverlauf1.png" ]; then
    echo "screenshots: the program saved no pictures" >&2
    exit 1
fi
cp "$out/Tagesverlauf1.png" "$out/trend.png"
ls -l "$out"
