#!/usr/bin/env bash
# For a reviewer on a Debian 12 machine booted with systemd, as root or with sudo: builds
# the packages (or takes them from PACKAGE_DIR), installs tarvedde-headless, lays out the
# demo plant in /var/lib/tarvedde/demo once, starts its simulated server and the client
# there as services, lets it acquire for a while and shows the client's --status and
# journal.
#   scripts/service-demo.sh [PACKAGE_DIR]
#   TARVEDDE_SERVICE_DEMO_SECONDS  how long it acquires before the status (default 40)
set -euo pipefail
cd "$(dirname "$0")/.."
packages="${1:-}"
if [ -z "$packages" ]; then
    bash scripts/package.sh
    packages=build/packages
fi
packages="$(realpath "$packages")"
# A server needs only the headless package.
debs=("$packages"/tarvedde-headless_*.deb)
if [ ! -f "${debs[0]}" ]; then
    echo "service-demo: no tarvedde-headless package in $packages (scripts/package.sh)" >&2
    exit 1
fi
if [ ! -d /run/systemd/system ]; then
    echo "service-demo: systemd is not running on this machine (process 1 is" \
        "'$(cat /proc/1/comm 2>/dev/null)'); install ${debs[*]} on a machine booted" \
        "with systemd and run this script there" >&2
    exit 1
fi

sudo=()
as_tarvedde=(runuser -u tarvedde --)
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
    as_tarvedde=(sudo -u tarvedde)
fi
# --reinstall: a package rebuilt under the same version replaces the installed one.
"${sudo[@]}" apt-get install -y --reinstall "${debs[@]}"

plant=/var/lib/tarvedde/demo
instance="$(systemd-escape --path "$plant")"
if [ ! -d "$plant" ]; then
    "${sudo[@]}" install -d -o tarvedde -g tarvedde "$plant"
    "${sudo[@]}" cp /usr/share/tarvedde/demo-plant/* "$plant/"
    "${sudo[@]}" cp /usr/share/tarvedde/plantsim/demo.ini "$plant/plantsim.ini"
    # The inflow's intermediate statistics follow a time table, on the hour here; without
    # it the client warns of the missing file at every cycle.
    for hour in $(seq 0 23); do
        printf '%02d:00:00\r\n' "$hour"
    done | "${sudo[@]}" tee "$plant/TT_Spiegel_Zulauf_Zulauf Stunde.tvw" >/dev/null
    "${sudo[@]}" chown -R tarvedde:tarvedde "$plant"
fi
"${sudo[@]}" systemctl start "tarvedde-plantsim@$instance.service" \
    "tarvedde-headless@$instance.service"
seconds="${TARVEDDE_SERVICE_DEMO_SECONDS:-40}"
echo "service-demo: the client acquires in $plant; waiting ${seconds} s"
sleep "$seconds"

echo "=== tarvedde-headless --status --dir $plant"
status=0
"${as_tarvedde[@]}" env "XDG_RUNTIME_DIR=/run/tarvedde/$instance" \
    tarvedde-headless --status --dir "$plant" || status=$?
echo "(exit status $status)"
echo "=== systemctl status"
systemctl status --no-pager "tarvedde-headless@$instance.service" || true
echo "=== journalctl"
journalctl --no-pager -n 30 -u "tarvedde-headless@$instance.service"
echo
echo "service-demo: stop it with"
echo "  systemctl stop 'tarvedde-headless@$instance.service' 'tarvedde-plantsim@$instance.service'"
