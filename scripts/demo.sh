#!/usr/bin/env bash
# The main job: installs what is needed, builds the release configuration, lays out a
# demo plant's program directory (once; later runs keep its state and files), starts the
# plant simulator and runs the client on it: the desktop window when a display is there,
# otherwise headless. Ctrl-C (or closing the window) ends both.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
demo="${TARVEDDE_DEMO_DIR:-$root/demo}"

bash scripts/setup-debian.sh
cmake --preset release
cmake --build --preset release

mkdir -p "$demo"
for template in tools/demo-plant/*.INI; do
    target="$demo/$(basename "$template")"
    if [ ! -e "$target" ]; then
        # The client's files are Windows-1252 with CR LF, as on the plant's workstation.
        iconv -f UTF-8 -t WINDOWS-1252 "$template" | sed 's/$/\r/' > "$target"
    fi
done

# The client and the simulator meet in a private socket directory of the demo.
export TARVEDDE_DDE_DIR="$demo/.dde"
build/release/tools/plantsim/plantsim --config tools/plantsim/demo.ini --dde-dir "$TARVEDDE_DDE_DIR" &
plantsim=$!
trap 'kill -TERM "$plantsim" 2>/dev/null || true; wait "$plantsim" 2>/dev/null || true' EXIT
sleep 1

echo "demo plant: $demo (log: $demo/_DDE_OPC_LOGALL.TXT)"
if [ -n "${DISPLAY:-}" ] && [ "${TARVEDDE_HEADLESS:-0}" != 1 ]; then
    build/release/app/tarvedde --dir "$demo"
else
    build/release/app/tarvedde-headless --dir "$demo"
fi
