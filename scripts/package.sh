#!/usr/bin/env bash
# Builds the release configuration and its Debian packages, tarvedde-headless (no Qt) and
# tarvedde (the desktop client), into build/packages, and checks them with lintian: an
# error ends the script with status 1, warnings are shown.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
cmake --preset release
cmake --build --preset release
out="$PWD/build/packages"
rm -f "$out"/*.deb
(cd build/release && cpack -G DEB -B "$out")
lintian --fail-on error "$out"/*.deb
ls -l "$out"/*.deb
