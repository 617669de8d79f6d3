#!/usr/bin/env bash
# The headless client on a real directory: it starts and logs, a second start in the same
# directory is abandoned while the first runs, and SIGTERM ends the first cleanly.
set -euo pipefail
headless="$1"
work="$(mktemp -d)"
export TMPDIR="$work/tmp"  # a private single-instance lock for this test
mkdir -p "$TMPDIR" "$work/plant"
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
printf '[DDE]\r\nItemcount=1\r\n[Items]\r\nItem1=Q\r\n[Itemnames]\r\nItem1=Zulauf\r\n' \
    > "$work/plant/TARVEDDE.INI"
log="$work/plant/_DDE_OPC_LOGALL.TXT"

fail() { echo "FAIL: $*"; [ -f "$log" ] && cat "$log"; exit 1; }
wait_for() {  # wait_for FILE TEXT
    for _ in $(seq 100); do
        grep -q -- "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    fail "'$2' not in $1"
}

"$headless" --dir "$work/plant" 2>"$work/first.err" &
pid=$!
wait_for "$log" "Neustart"
[ -f "$work/plant/\$dde_activ" ] || fail "no \$dde_activ while running"
grep -q "Programmstart in $work/plant/" "$log" || fail "no start line"
grep -q "Mutex = tarvedde" "$log" || fail "no guard line"

"$headless" --dir "$work/plant" 2>"$work/second.err" || fail "second start did not end cleanly"
grep -q "Mutex und \$dde_activ in $work/plant/ schon vorhanden. Start abgebrochen !" "$log" \
    || fail "second start not abandoned"

kill -TERM "$pid"
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "client still running after SIGTERM"
wait "$pid" || fail "client ended with a failure status"
[ -f "$work/plant/\$dde_activ" ] && fail "\$dde_activ left behind"
[ -f "$work/plant/_TARVEDDE_LOG.TXT" ] || fail "message history not written"
echo "1 passed, 0 failed"
