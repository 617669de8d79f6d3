#!/bin/sh
# Runs one scenario with the Linux scenario runner and with the Windows one under wine,
# each on a fresh program directory, and requires the same files with the same bytes.
# Only the program directory's own name may differ (it stands in the log's start line), and
# the Linux run keeps the state files' scratch copies (*.tmp, a save older), which Windows
# renames away.
# Exit 77 (skipped) when no Linux build is there to compare with.
linux=$1 windows=$2 wine=$3 script=$4
if [ ! -x "$linux" ]; then
    echo "no Linux scenario runner at $linux: build the debug preset first"
    exit 77
fi
a=$(mktemp -d) && b=$(mktemp -d) && c=$(mktemp -d) || exit 1
trap 'rm -rf "$a" "$b" "$c"' EXIT
for dir in "$a" "$b"; do
    printf '[DDE]\r\nAutoStart=1\r\nIntervall=10\r\nEinheit=0\r\nItemcount=4\r\n[Items]\r\nItem1=T_Zulauf\r\nItem2=Q_Zulauf\r\nItem3=Z_Strom\r\nItem4=P_Geblaese\r\n[Itemnames]\r\nItem1=Temperatur\r\nItem2=Zulauf\r\nItem3=Strom\r\nItem4=Gebl\344se\r\n[Integral]\r\nItem2=1\r\n[Differenz]\r\nItem3=1\r\n[Grafiktyp]\r\nItem4=2\r\n' >"$dir/TARVEDDE.INI"
done
"$linux" --dir "$a" "$script" || { echo "Linux run failed"; exit 1; }
"$wine" "$windows" --dir "$b" "$script" || { echo "Windows run failed"; exit 1; }
# The Windows runner names its directory by drive: /tmp/x is Z:\tmp\x there.
windows_dir="Z:$(printf '%s' "$b" | tr / '\\\\')"
files() { ls -A "$1" | grep -v '[.]tmp$'; }
status=0
if [ "$(files "$a")" != "$(files "$b")" ]; then
    echo "different files:"
    files "$a"
    echo "--"
    files "$b"
    status=1
fi
for name in $(files "$a"); do
    [ -f "$b/$name" ] || continue
    # Directory names are ASCII here, so bytewise replacement cannot split a character.
    LC_ALL=C sed "s|$a/|<dir>|g" "$a/$name" >"$c/linux"
    LC_ALL=C sed "s|$(printf '%s' "$windows_dir" | sed 's/\\/\\\\/g')[\\/]|<dir>|g" "$b/$name" >"$c/windows"
    if ! cmp -s "$c/linux" "$c/windows"; then
        echo "$name differs"
        cmp "$c/linux" "$c/windows" | head -3
        status=1
    fi
done
[ "$status" -eq 0 ] && echo "$(files "$a" | wc -l) files identical"
exit "$status"
