#!/usr/bin/env bash
# The main job: installs what is needed, builds the release configuration, lays out a
# demo plant's program directory (once; later runs keep its state and files), starts the
# plant simulator and runs the client on it: the desktop window when a display is there,
# otherwise headless. Ctrl-C (or closing the window) ends both.
#   TARVEDDE_DEMO_DIR   the demo plant's directory (default: demo/ in the repository)
#   TARVEDDE_HEADLESS=1 no window even when a display is there
#   TARVEDDE_DEMO_BUILD a build directory to run instead of installing and building
set -euo pipefail
demo="$(realpath -m "${TARVEDDE_DEMO_DIR:-$(dirname "$0")/../demo}")"
build="${TARVEDDE_DEMO_BUILD:+$(realpath -m "$TARVEDDE_DEMO_BUILD")}"
cd "$(dirname "$0")/.."

if [ -z "$build" ]; then
    bash scripts/setup-debian.sh
    cmake --preset release
    cmake --build --preset release
    build=build/release
fi

mkdir -p "$demo"
for template in tools/demo-plant/*; do
    target="$demo/$(basename "$template")"
    if [ ! -e "$target" ]; then
        # The client's files are Windows-1252 with CR LF, as on the plant's workstation.
        iconv -f UTF-8 -t WINDOWS-1252 "$template" | sed 's/$/\r/' > "$target"
    fi
done

# The inflow per hour reports its intermediate statistics at the times of its time table.
# A plant's table holds up to 96 fixed times of day; the demo's is written anew at every
# run, a time every two minutes from half a minute after the start on (about three hours,
# in the order of the day), so that even a run of a minute crosses one.
table="$demo/TT_Spiegel_Zulauf_Zulauf Stunde.tvw"
start=$(date +%s)
for k in $(seq 0 95); do
    date -d "@$((start + 30 + 120 * k))" +%H:%M:%S
done | sort | sed 's/$/\r/' > "$table"

# The client and the simulator meet in a private socket directory of the demo. The
# simulator gets a session of its own, so Ctrl-C reaches only the client: the client
# stops with its server still answering, and the simulator ends after it. Its meters
# keep their readings across runs, as the client's state keeps the day.
export TARVEDDE_DDE_DIR="$demo/.dde"
setsid "$build/tools/plantsim/plantsim" --config tools/plantsim/demo.ini \
    --dde-dir "$TARVEDDE_DDE_DIR" --readings "$demo/plantsim-readings.ini" &
plantsim=$!
trap 'kill -TERM "$plantsim" 2>/dev/null || true; wait "$plantsim" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
    [ -S "$TARVEDDE_DDE_DIR/PLANTSIM.dde" ] && break
    sleep 0.1
done
if ! kill -0 "$plantsim" 2>/dev/null; then
    echo "demo: plantsim did not start (its message is above)" >&2
    exit 1
fi

echo "demo plant: $demo (log: $demo/_DDE_OPC_LOGALL.TXT)"
if [ -n "${DISPLAY:-}" ] && [ "${TARVEDDE_HEADLESS:-0}" != 1 ]; then
    "$build/app/tarvedde" --dir "$demo"
else
    "$build/app/tarvedde-headless" --dir "$demo"
fi
