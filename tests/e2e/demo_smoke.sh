#!/usr/bin/env bash
# The README's demo on a built tree, headless: scripts/demo.sh lays out the demo plant,
# plantsim serves it, every item links, the day file grows by a cycle, and Ctrl-C (SIGINT
# to the script's process group) ends the client with its state saved and plantsim too.
# A third argument "opc" runs the demo in OPC mode.
set -euo pipefail
root="$1"
build="$2"
export TARVEDDE_DEMO_SOURCE="${3:-dde}"
work="$(mktemp -d)"
export TMPDIR="$work/tmp"  # a private single-instance lock for this test
unset XDG_RUNTIME_DIR
mkdir -p "$TMPDIR"
demo="$work/demo"
log="$demo/_DDE_OPC_LOGALL.TXT"
pid=""
stop_demo() {  # a failed run must not leave the client or plantsim behind
    [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || return 0
    kill -TERM -- "-$pid" 2>/dev/null || true
    for _ in $(seq 150); do kill -0 "$pid" 2>/dev/null || return 0; sleep 0.1; done
    kill -KILL -- "-$pid" 2>/dev/null || true
}
trap 'stop_demo; rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*"
    [ -f "$log" ] && iconv -f WINDOWS-1252 -t UTF-8 "$log"
    cat "$work/out"
    exit 1
}
wait_until() {  # wait_until SECONDS DESCRIPTION COMMAND...
    local seconds="$1" what="$2"
    shift 2
    for _ in $(seq $((seconds * 10))); do
        "$@" && return 0
        sleep 0.1
    done
    fail "$what"
}
logged() { iconv -f WINDOWS-1252 -t UTF-8 "$log" 2>/dev/null | grep -q -- "$1"; }
day_file_size() { stat -c %s "$demo"/*.DAT 2>/dev/null || echo 0; }

# setsid: the script leads a process group of its own, as a shell's foreground job does.
TARVEDDE_HEADLESS=1 TARVEDDE_DEMO_DIR="$demo" TARVEDDE_DEMO_BUILD="$build" \
    setsid bash "$root/scripts/demo.sh" >"$work/out" 2>&1 &
pid=$!

wait_until 30 "items not linked" logged "21 Werte werden übertragen."
# The mirrored count is the line after it, written a moment later.
wait_until 5 "mirrored items not counted" logged "2 Werte werden gespiegelt."
wait_until 30 "acquisition not started" logged "Datenerfassung gestartet."
size="$(day_file_size)"
day_file_grew() { [ "$(day_file_size)" -gt "$size" ]; }
wait_until 40 "day file did not grow" day_file_grew
# The demo's bound diary positions reach the day's diary data file.
diary_written() { [ -s "$(echo "$demo"/*.TVI)" ]; }
wait_until 20 "no diary data file" diary_written

kill -INT -- "-$pid"
wait_until 60 "demo still running after SIGINT" eval '! kill -0 "$pid" 2>/dev/null'
wait "$pid" || fail "demo ended with a failure status"
logged "Datenerfassung beendet." || fail "acquisition not stopped"
[ -f "$demo/\$clean" ] || fail "state not saved (\$clean missing)"
[ -e "$demo/.dde/PLANTSIM.$TARVEDDE_DEMO_SOURCE" ] && fail "plantsim left its socket: not ended cleanly"
grep -q "plantsim: stopped" "$work/out" || fail "plantsim did not stop"
if [ "$TARVEDDE_DEMO_SOURCE" = opc ]; then
    logged "OPC-Datenerfassung gestartet." || fail "not acquiring over OPC"
elif ! grep -q "^Stromz" "$demo/plantsim-readings.ini"; then
    fail "plantsim did not save its meter readings"
fi
echo "1 passed, 0 failed"
