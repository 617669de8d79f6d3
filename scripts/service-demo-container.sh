#!/usr/bin/env bash
# For a reviewer on a Debian 12 machine without systemd as process 1 (a container, a build
# box), as root and with the network: boots Debian 12 with systemd in a container and runs
# scripts/service-demo.sh in it. The container has no network but loopback and its own
# /etc; the first run installs debootstrap and systemd-container on this machine and lays
# the container's root into ROOT once.
#   scripts/service-demo-container.sh [PACKAGE_DIR]
#   TARVEDDE_CONTAINER_ROOT   the container's root (default /var/tmp/tarvedde-nspawn)
#   TARVEDDE_CONTAINER_KEEP=1 leave the container running and print how to enter it
#   TARVEDDE_SERVICE_DEMO_SECONDS is passed on to service-demo.sh
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(id -u)" -ne 0 ]; then
    echo "service-demo-container: run as root (debootstrap and systemd-nspawn need it)" >&2
    exit 1
fi
root="${TARVEDDE_CONTAINER_ROOT:-/var/tmp/tarvedde-nspawn}"
packages="${1:-}"
if [ -z "$packages" ]; then
    bash scripts/package.sh
    packages=build/packages
fi
debs=("$packages"/tarvedde-headless_*.deb)
if [ ! -f "${debs[0]}" ]; then
    echo "service-demo-container: no tarvedde-headless package in $packages" >&2
    exit 1
fi

if ! command -v debootstrap >/dev/null || ! command -v systemd-nspawn >/dev/null; then
    apt-get install -y debootstrap systemd-container
fi
if [ ! -x "$root/lib/systemd/systemd" ]; then
    debootstrap --variant=minbase --include=systemd,systemd-sysv,dbus,adduser \
        bookworm "$root" http://deb.debian.org/debian
    # debootstrap copies this machine's name; the journal should name the container.
    echo tarvedde-demo >"$root/etc/hostname"
fi
# Only the demo's own files go in; the packages' dependencies are in the root already, so
# apt needs no network in there.
demo="$root/root/tarvedde"
rm -rf "$demo"
mkdir -p "$demo/scripts" "$demo/packages"
cp scripts/service-demo.sh "$demo/scripts/"
cp "${debs[@]}" "$demo/packages/"

# Without a systemd on this machine nspawn can neither register the machine nor make a
# scope for it; --register=no and --keep-unit do without both.
log="$(mktemp)"
systemd-nspawn -D "$root" -M tarvedde-demo -b --register=no --keep-unit \
    --private-network --console=passive >"$log" 2>&1 &
nspawn=$!
# nspawn passes SIGTERM on as a shutdown: the services stop as on any machine.
stop_container() {
    if kill -TERM "$nspawn" 2>/dev/null; then
        wait "$nspawn" || true
    fi
    rm -f "$log"
}
if [ "${TARVEDDE_CONTAINER_KEEP:-0}" != 1 ]; then
    trap stop_container EXIT
fi
# The container's systemd is nspawn's child; its namespaces are the container.
leader=""
for _ in $(seq 100); do
    for child in $(cat /proc/$nspawn/task/*/children 2>/dev/null); do
        [ "$(cat "/proc/$child/comm" 2>/dev/null)" = systemd ] && leader=$child
    done
    [ -n "$leader" ] && break
    kill -0 "$nspawn" 2>/dev/null || break
    sleep 0.1
done
if [ -z "$leader" ]; then
    echo "service-demo-container: the container did not start: $(cat "$log")" >&2
    exit 1
fi
inside=(nsenter -t "$leader" -a -- env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin
    TERM="${TERM:-dumb}" LANG=C.UTF-8 HOME=/root)
# systemctl answers once the container's systemd has its socket, a moment after it starts.
state=""
for _ in $(seq 120); do
    state="$("${inside[@]}" systemctl is-system-running --wait 2>/dev/null)" && break
    [ "$state" = degraded ] && break
    sleep 1
done
if [[ "$state" != running && "$state" != degraded ]]; then
    echo "service-demo-container: the container's systemd does not answer: $(cat "$log")" >&2
    exit 1
fi
echo "service-demo-container: the container's systemd is $state"

status=0
"${inside[@]}" TARVEDDE_SERVICE_DEMO_SECONDS="${TARVEDDE_SERVICE_DEMO_SECONDS:-40}" \
    bash /root/tarvedde/scripts/service-demo.sh /root/tarvedde/packages || status=$?
if [ "${TARVEDDE_CONTAINER_KEEP:-0}" = 1 ]; then
    echo "service-demo-container: the container runs on; enter it with"
    echo "  nsenter -t $leader -a -- bash -l"
    echo "and end it with  kill $nspawn"
    exit "$status"
fi
plant=/var/lib/tarvedde/demo
instance="$("${inside[@]}" systemd-escape --path "$plant")"
echo "=== systemctl stop, then tarvedde-headless --status --dir $plant"
"${inside[@]}" systemctl stop "tarvedde-headless@$instance.service"
stopped=0
"${inside[@]}" runuser -u tarvedde -- tarvedde-headless --status --dir "$plant" || stopped=$?
echo "(exit status $stopped)"
exit "$status"
