#!/bin/sh
# Runs a Windows program under wine64 (ctest's emulator for the windows preset).
# wine starts helper processes on demand (its server, services, the desktop process when a
# window is made) that live on after the program and inherit its output. ctest waits until
# every holder of its output pipe has closed it, so one run hung for 898 s. Hence a
# persistent server started first in its own session, and the program's output goes
# through a file that the helpers may keep open without holding anybody up.
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-tarvedde}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
wine=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver
[ -x "$wine" ] || wine=wine64
[ -x "$server" ] || server=wineserver
# Fails harmlessly when the prefix's server already runs.
setsid "$server" -p120 </dev/null >/dev/null 2>&1
out=$(mktemp) || exit 1
"$wine" "$@" </dev/null >"$out" 2>&1
status=$?
cat "$out"
rm -f "$out"
exit "$status"
