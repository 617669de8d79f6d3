#!/usr/bin/env bash
# Packages the build tree, checks the packages' contents, metadata and lintian's verdict,
# then runs the packaged client and plantsim in the environment the service units give
# them, and the reviewer's service script up to where it needs systemd.
#   package_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build="$(realpath "$1")"
source="$(realpath "$2")"
work="$(mktemp -d)"
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log") || {
    cat "$work/cpack.log"
    fail "cpack"
}
headless=("$work"/out/tarvedde-headless_*.deb)
[ -f "${headless[0]}" ] || fail "no tarvedde-headless package"

contents="$(dpkg-deb -c "${headless[0]}")"
for path in usr/bin/tarvedde-headless usr/bin/tarvedde-scenario usr/bin/plantsim \
    lib/systemd/system/tarvedde-headless@.service usr/share/tarvedde/demo-plant/TARVEDDE.INI \
    usr/share/tarvedde/plantsim/demo.ini usr/share/doc/tarvedde-headless/copyright \
    usr/share/doc/tarvedde-headless/changelog.gz; do
    grep -q " \./$path\$" <<<"$contents" || fail "tarvedde-headless lacks /$path"
done
if grep -v '^[-d]r[-w][-x]r-[-x]r-[-x] root/root ' <<<"$contents"; then
    fail "files above are not root's or are writable by others"
fi
depends="$(dpkg-deb -f "${headless[0]}" Depends)"
[[ "$depends" == *libstdc++6* && "$depends" == *adduser* ]] || fail "headless depends: $depends"
[[ "$depends" != *qt6* ]] || fail "the server package needs Qt: $depends"

desktop=("$work"/out/tarvedde_*.deb)
if [ -f "${desktop[0]}" ]; then
    depends="$(dpkg-deb -f "${desktop[0]}" Depends)"
    [[ "$depends" == *"tarvedde-headless (= "*")"* && "$depends" == *libqt6widgets6* ]] ||
        fail "desktop depends: $depends"
    contents="$(dpkg-deb -c "${desktop[0]}")"
    grep -q ' \./usr/bin/tarvedde$' <<<"$contents" || fail "no desktop program"
fi

lintian --fail-on error "$work"/out/*.deb >"$work/lintian.log" 2>&1 || {
    cat "$work/lintian.log"
    fail "lintian reports errors"
}
cat "$work/lintian.log"

root="$work/root"
dpkg-deb -x "${headless[0]}" "$root"
unit="$root/lib/systemd/system/tarvedde-headless@.service"
if command -v systemd-analyze >/dev/null; then
    # Checks the settings and that the programs the units start are where they say. A
    # setting it ignores is only a message, not a status.
    for template in tarvedde-headless tarvedde-plantsim; do
        instance="$work/$template@var-lib-plant.service"
        sed "s|/usr/bin/|$root/usr/bin/|" "$root/lib/systemd/system/$template@.service" >"$instance"
        verdict="$(systemd-analyze verify --man=no "$instance" 2>&1)" && [ -z "$verdict" ] ||
            fail "systemd-analyze verify $template@.service: $verdict"
    done
else
    echo "skipped: systemd-analyze verify (no systemd-analyze here)"
fi

# The service's environment: the plant's own runtime directory as XDG_RUNTIME_DIR and no
# TARVEDDE_DDE_DIR, for plantsim as for the client, so both meet in its tarvedde-dde.
plant="$work/plant"
run="$work/run/tarvedde/plant"
mkdir -p "$plant" "$(dirname "$run")" && mkdir -m 0700 "$run"
cp "$root"/usr/share/tarvedde/demo-plant/* "$plant/"
cp "$root/usr/share/tarvedde/plantsim/demo.ini" "$plant/plantsim.ini"
timeout_stop=$(sed -n 's/^TimeoutStopSec=\([0-9]*\)s$/\1/p' "$unit")
service_env=(env -u TARVEDDE_DDE_DIR "XDG_RUNTIME_DIR=$run")
"${service_env[@]}" "$root/usr/bin/plantsim" --config "$plant/plantsim.ini" 2>"$work/plantsim.log" &
(cd "$plant" && exec "${service_env[@]}" "$root/usr/bin/tarvedde-headless" --dir "$plant") \
    2>"$work/client.log" &
client=$!
acquiring() {
    grep -aqs "21 Werte werden" "$plant/_DDE_OPC_LOGALL.TXT" && ls "$plant"/*.DAT >/dev/null 2>&1
}
for _ in $(seq 300); do
    acquiring && break
    sleep 0.1
done
acquiring || fail "no values from plantsim: $(cat "$work/client.log" "$work/plantsim.log")"
[ -S "$run/tarvedde-dde/PLANTSIM.dde" ] && [ -e "$run/tarvedde-instance-tarvedde.lock" ] ||
    fail "socket or lock not in the runtime directory: $(ls -R "$run")"
# A second cycle, so that the close follows a save that leaves a scratch file behind.
status_of_plant() {
    "${service_env[@]}" "$root/usr/bin/tarvedde-headless" --status --dir "$plant"
}
for _ in $(seq 300); do
    status_of_plant | grep -q "^Rows of the running day: [2-9]" && break
    sleep 0.1
done
report="$(status_of_plant)" || fail "--status of the running client: $report"
[[ "$report" == "TARVEDDE OK"* && "$report" == *"running day: "[2-9]* ]] ||
    fail "--status of the running client: $report"
started=$SECONDS
kill -TERM "$client"
status=0
wait "$client" || status=$?
[ "$status" -eq 0 ] || fail "SIGTERM ended the client with $status: $(cat "$work/client.log")"
((SECONDS - started < timeout_stop)) || fail "the stop took longer than TimeoutStopSec"
grep -aq "Programmende" "$plant"/*.RTF || fail "no end-of-program statistics"
# The close's save is the durable one: it renames every state file into place. (The
# viewer file's scratch copy stays, as it does between cycles.)
if ls "$plant"/*.tmp 2>/dev/null | grep -v '/AKTDAT\.TVV\.tmp$'; then
    fail "the close left the files above"
fi
status=0
report="$(status_of_plant)" || status=$?
[ "$status" -eq 2 ] || fail "--status after the end: status $status, $report"

if [ ! -d /run/systemd/system ]; then
    status=0
    bash "$source/scripts/service-demo.sh" "$work/out" 2>"$work/demo.log" || status=$?
    [ "$status" -eq 1 ] && grep -q "systemd is not running" "$work/demo.log" ||
        fail "service-demo.sh without systemd: status $status, $(cat "$work/demo.log")"
fi
echo "packages checked: $(cd "$work/out" && echo *.deb)"
