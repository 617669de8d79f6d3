#!/bin/sh
# Runs tarvedde-scenario on a fresh program directory and checks its exit status; a run
# that succeeds must have written the program log, a refused one nothing at all.
exe=$1 script=$2 expected=$3
dir=$(mktemp -d) || exit 1
printf '[DDE]\r\nAutoStart=0\r\n' > "$dir/TARVEDDE.INI"
"$exe" --dir "$dir" "$script"
status=$?
files=$(ls -A "$dir" | wc -l)
log=no
[ -s "$dir/_DDE_OPC_LOGALL.TXT" ] && log=yes
rm -rf "$dir"
if [ "$status" -ne "$expected" ]; then
    echo "exit status $status, expected $expected"
    exit 1
fi
if [ "$expected" -eq 0 ] && [ "$log" != yes ]; then
    echo "no program log written"
    exit 1
fi
if [ "$expected" -ne 0 ] && [ "$files" -ne 1 ]; then
    echo "a refused script left files behind"
    exit 1
fi
