#!/usr/bin/env bash
# The headless client on a real directory: it starts and logs, a second start in the same
# directory is abandoned with status 3 and its reason on stderr while the first runs, and
# SIGTERM ends the first cleanly. Then a hostile start: another program holds a lock in the
# shared temporary directory and a marker was left behind, and the program log cannot be
# written; the client starts all the same (the lock is private to the user), says once on
# stderr that its log is lost and again when it is back, and ends with status 4.
set -euo pipefail
headless="$1"
work="$(mktemp -d)"
export TMPDIR="$work/tmp"  # a private single-instance lock for this test
unset XDG_RUNTIME_DIR
mkdir -p "$TMPDIR" "$work/plant"
pid=""
squatter=""
trap 'kill "$pid" $squatter 2>/dev/null || true; rm -rf "$work"' EXIT
printf '[DDE]\r\nItemcount=1\r\n[Items]\r\nItem1=Q\r\n[Itemnames]\r\nItem1=Zulauf\r\n' \
    > "$work/plant/TARVEDDE.INI"
log="$work/plant/_DDE_OPC_LOGALL.TXT"

fail() { echo "FAIL: $*"; [ -f "$log" ] && cat "$log"; cat "$work"/*.err; exit 1; }
wait_for() {  # wait_for FILE TEXT
    for _ in $(seq 100); do
        grep -q -- "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    fail "'$2' not in $1"
}
end_client() {  # end_client EXPECTED_STATUS
    kill -TERM "$pid"
    for _ in $(seq 150); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$pid" 2>/dev/null && fail "client still running after SIGTERM"
    status=0
    wait "$pid" || status=$?
    [ "$status" = "$1" ] || fail "client ended with status $status, not $1"
}

"$headless" --dir "$work/plant" 2>"$work/first.err" &
pid=$!
wait_for "$log" "Neustart"
[ -f "$work/plant/\$dde_activ" ] || fail "no \$dde_activ while running"
grep -q "Programmstart in $work/plant/" "$log" || fail "no start line"
grep -q "Mutex = tarvedde" "$log" || fail "no guard line"
[ -f "$TMPDIR/tarvedde-$(id -u)/tarvedde-instance-tarvedde.lock" ] || fail "lock not in the private directory"

status=0
"$headless" --dir "$work/plant" 2>"$work/second.err" || status=$?
[ "$status" = 3 ] || fail "abandoned start ended with status $status"
grep -q "Start abandoned: .*Mutex und \$dde_activ in $work/plant/ schon vorhanden. Start abgebrochen !" \
    "$work/second.err" || fail "no reason for the abandoned start on stderr"

end_client 0
[ -f "$work/plant/\$dde_activ" ] && fail "\$dde_activ left behind"
[ -f "$work/plant/_TARVEDDE_LOG.TXT" ] || fail "message history not written"

printf '[DDE]\r\nAutoStart=1\r\nItemcount=1\r\n[Items]\r\nItem1=Q\r\n' > "$work/plant/TARVEDDE.INI"
touch "$work/plant/\$dde_activ"
flock "$TMPDIR/tarvedde-instance-tarvedde.lock" sleep 60 &
squatter=$!
mv "$log" "$log.old"
mkdir "$log"
"$headless" --dir "$work/plant" 2>"$work/third.err" &
pid=$!
wait_for "$work/third.err" "The program log cannot be written"
sleep 1
kill -0 "$pid" 2>/dev/null || fail "start abandoned beside a squatted lock"
rmdir "$log"
end_client 4
wait_for "$log" "Protokoll war nicht beschreibbar, [0-9]* Zeilen fehlen."
[ "$(grep -c "cannot be written" "$work/third.err")" = 1 ] || fail "log failure told more than once"
grep -q "The program log is written again; [0-9]* lines were lost." "$work/third.err" \
    || fail "log recovery not told"
echo "1 passed, 0 failed"
