#!/bin/sh
# tarvedde-scenario on fresh program directories: a script that runs writes the program
# log and ends with 0 (its single-instance lock never reaches the temporary directory); a
# malformed script or a wrong command line ends with 2, a missing directory or script
# with 1, and neither leaves anything behind.
exe=$1
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
export TMPDIR="$dir/tmp"
mkdir "$TMPDIR"
run() {  # run NAME SCRIPT_TEXT EXPECTED_STATUS [OPTION]
    mkdir -p "$dir/$1" && printf '[DDE]\r\nAutoStart=0\r\n' >"$dir/$1/TARVEDDE.INI"
    printf "$2" >"$dir/$1.scn"
    "$exe" --dir "$dir/$1" $4 "$dir/$1.scn"
    status=$?
    [ "$status" -eq "$3" ] || { echo "$1: exit status $status, expected $3"; exit 1; }
}
run tiny 'start\nadvance 10s\n' 0
[ -s "$dir/tiny/_DDE_OPC_LOGALL.TXT" ] || { echo "no program log written"; exit 1; }
run malformed 'start\nadvance ten seconds\n' 2
run option 'start\n' 2 --fast
"$exe" --dir "$dir/nowhere" "$dir/tiny.scn" && { echo "ran without a directory"; exit 1; }
[ $? -eq 1 ] || { echo "no directory: status not 1"; exit 1; }
"$exe" --dir "$dir/option" "$dir/missing.scn"
[ $? -eq 1 ] || { echo "no script: status not 1"; exit 1; }
for name in malformed option tmp; do
    [ "$(ls -A "$dir/$name")" = "$([ $name = tmp ] || echo TARVEDDE.INI)" ] ||
        { echo "$name: files left behind"; exit 1; }
done
