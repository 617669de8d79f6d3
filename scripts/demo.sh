#!/usr/bin/env bash
# The main job: installs what is needed, builds the release configuration, lays out a
# demo plant's program directory (once; later runs keep its state and files), starts the
# plant simulator and runs the client on it: the desktop window when a display is there,
# otherwise headless. Ctrl-C (or closing the window) ends both. Arguments go to the client.
#   TARVEDDE_DEMO_DIR   the demo plant's directory (default: demo/ in the repository)
#   TARVEDDE_HEADLESS=1 no window even when a display is there
#   TARVEDDE_DEMO_BUILD a build directory to run instead of installing and building
#   TARVEDDE_DEMO_SOURCE=opc the same plant over plantsim's OPC face instead of DDE
#                       (default directory: demo-opc/)
set -euo pipefail
source_kind="${TARVEDDE_DEMO_SOURCE:-dde}"
case "$source_kind" in
dde) default_dir=demo ;;
opc) default_dir=demo-opc ;;
*)
    echo "demo: TARVEDDE_DEMO_SOURCE is dde or opc, not '$source_kind'" >&2
    exit 2
    ;;
esac
demo="$(realpath -m "${TARVEDDE_DEMO_DIR:-$(dirname "$0")/../$default_dir}")"
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

# The diary program's positions (ONLINE.TVW) are bound once, as the operator would bind
# them: BINDUNG.TVW holds a 212-byte record per position, texts as a length byte and
# Windows-1252 bytes, numbers as little-endian 32-bit integers (outputs/diary_files.h).
int32() {
    local v=$(($1 & 0xFFFFFFFF))
    printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((v & 255)) $((v >> 8 & 255)) \
        $((v >> 16 & 255)) $((v >> 24 & 255)))"
}
short_text() {  # capacity, text
    local bytes
    bytes="$(printf %s "$2" | iconv -f UTF-8 -t WINDOWS-1252)"
    local n
    n=$(printf %s "$bytes" | wc -c)
    printf "$(printf '\\x%02x' "$n")%s" "$bytes"
    head -c $(($1 - n)) /dev/zero
}
binding() {  # position, diary index, item, item address, item name, transfer type
    short_text 30 "$1"; int32 "$2"; int32 "$3"; short_text 100 "$4"; short_text 30 "$5"
    int32 "$6"; printf '\0'; int32 0; int32 0; int32 0; head -c 24 /dev/zero
}
if [ ! -e "$demo/BINDUNG.TVW" ]; then
    # Transfer types: 0 mean, 2 maximum, 3 operating time or sum; -1 none.
    {
        binding "Zulaufmenge" 1 1 Zulauf_Q Zulauf 3
        binding "O2 Belebung 1 Mittel" 2 3 Sauerstoff_BB1 "O2 Belebung 1" 0
        binding "Gebläse 1 Laufzeit" 3 5 "Gebläse_1" "Gebläse 1" 3
        binding "Zulauf Maximum" 4 1 Zulauf_Q Zulauf 2
        binding "Reserve" 5 0 "" "" -1
    } >"$demo/BINDUNG.TVW"
fi

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
plant_ini="$PWD/tools/plantsim/demo.ini"
socket="$TARVEDDE_DDE_DIR/PLANTSIM.dde"
if [ "$source_kind" = opc ]; then
    # The same items as OPC items of the server Plantsim.Demo.1, digital ones boolean.
    plant_ini="$demo/plantsim-opc.ini"
    socket="$TARVEDDE_DDE_DIR/PLANTSIM.opc"
    tr -d '\r' <tools/plantsim/demo.ini | LC_ALL=C sed -e '/^\[Service\]/,/^$/d' \
        -e 's/^\[Items\]/[OpcServer]\nProgID=Plantsim.Demo.1\n[OpcItems]/' \
        -e 's/^\[Item\([0-9]*\)\]/[OpcItem\1]/' -e 's/^Name=/Id=/' \
        -e 's/^Generator=digital/Type=boolean\n&/' >"$plant_ini"
    printf '[Installation]\r\nSource=opc\r\n' >"$demo/tarvedde-install.ini"
    if ! grep -q '^\[OPC\]' "$demo/TARVEDDE.INI"; then
        printf '[OPC]\r\nServer=Plantsim.Demo.1\r\nOPC_tot-Sekunden=30\r\n' >>"$demo/TARVEDDE.INI"
    fi
fi
plantsim_command=("$(realpath "$build")/tools/plantsim/plantsim" --config "$plant_ini"
    --dde-dir "$TARVEDDE_DDE_DIR" --readings "$demo/plantsim-readings.ini")
setsid "${plantsim_command[@]}" &
echo $! >"$demo/plantsim.pid"
# Whether plantsim (its pid in plantsim.pid) runs; a zombie that nobody reaped does not.
plantsim_runs() {
    local stat
    stat="$(cat "/proc/$(cat "$demo/plantsim.pid")/stat" 2>/dev/null)" && [[ "$stat" != *") Z "* ]]
}
if [ "$source_kind" = opc ]; then
    # The OPC watchdog starts DDE-Wache.exe from the program directory when the server
    # has been silent for OPC_tot-Sekunden: here it brings plantsim back unless it runs.
    {
        echo '#!/usr/bin/env bash'
        echo "demo=$(printf '%q' "$demo")"
        declare -f plantsim_runs
        echo 'plantsim_runs && exit 0'
        echo "setsid $(printf '%q ' "${plantsim_command[@]}")&"
        echo 'echo $! >"$demo/plantsim.pid"'
    } >"$demo/DDE-Wache.exe"
    chmod +x "$demo/DDE-Wache.exe"
fi
stop_plantsim() {  # the one running now, which DDE-Wache.exe may have started
    local pid
    pid="$(cat "$demo/plantsim.pid")"
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true  # reaps it when it is ours
    while plantsim_runs; do sleep 0.1; done
}
trap stop_plantsim EXIT
for _ in $(seq 100); do
    [ -S "$socket" ] && break
    sleep 0.1
done
if ! plantsim_runs; then
    echo "demo: plantsim did not start (its message is above)" >&2
    exit 1
fi

echo "demo plant: $demo (log: $demo/_DDE_OPC_LOGALL.TXT)"
if [ -n "${DISPLAY:-}" ] && [ "${TARVEDDE_HEADLESS:-0}" != 1 ]; then
    "$build/app/tarvedde" --dir "$demo" "$@"
else
    "$build/app/tarvedde-headless" --dir "$demo" "$@"
fi
