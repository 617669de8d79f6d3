#!/usr/bin/env bash
# Shows what LibreOffice reads in a day protocol (.RTF): converts it to text with
# `soffice --headless --convert-to txt` and prints the text (UTF-8), so a reviewer can
# see that a word processor opens our RTF and finds every line.
#   check-rtf-libreoffice.sh [--install] [FILE.RTF]
# Without a file: the newest .RTF of the demo plant (TARVEDDE_DEMO_DIR, default demo/).
# LibreOffice is large, so it is installed (libreoffice-writer-nogui) only with --install.
set -euo pipefail

install=0
if [ "${1:-}" = --install ]; then
    install=1
    shift
fi
root="$(cd "$(dirname "$0")/.." && pwd)"
if [ $# -gt 0 ]; then
    rtf="$(realpath -m "$1")"
else
    demo="$(realpath -m "${TARVEDDE_DEMO_DIR:-$root/demo}")"
    rtf="$(ls -t "$demo"/*.RTF 2>/dev/null | head -n 1 || true)"
    if [ -z "$rtf" ]; then
        echo "check-rtf-libreoffice: no .RTF in $demo (run scripts/demo.sh first)" >&2
        exit 1
    fi
fi
if [ ! -f "$rtf" ]; then
    echo "check-rtf-libreoffice: $rtf does not exist" >&2
    exit 1
fi

if ! command -v soffice >/dev/null; then
    if [ "$install" != 1 ]; then
        echo "check-rtf-libreoffice: soffice is missing; run with --install" \
            "(installs libreoffice-writer-nogui, several hundred MB)" >&2
        exit 1
    fi
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        sudo="sudo"
    fi
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends libreoffice-writer-nogui
fi

# A profile of its own: a running LibreOffice of the user neither blocks nor sees the run.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$rtf" "$work/protocol.rtf"
soffice -env:UserInstallation="file://$work/profile" --headless \
    --convert-to "txt:Text (encoded):UTF8" --outdir "$work" "$work/protocol.rtf" >"$work/soffice.log" 2>&1 ||
    { cat "$work/soffice.log" >&2; exit 1; }
if [ ! -f "$work/protocol.txt" ]; then
    echo "check-rtf-libreoffice: soffice wrote no text:" >&2
    cat "$work/soffice.log" >&2
    exit 1
fi
echo "== $rtf as LibreOffice reads it:"
# LibreOffice writes a byte-order mark, CR LF, and every blank of a run of blanks as a
# six-per-em space (U+2006) and a blank; shown here as the one blank it stands for, so a
# line reads as it stands in the protocol.
sed -e '1s/^\xEF\xBB\xBF//' -e 's/\r$//' -e 's/\xE2\x80\x86 / /g' "$work/protocol.txt"
