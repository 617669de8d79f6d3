#!/usr/bin/env bash
# Builds the coverage configuration (build/coverage: Debug, GCC --coverage, GUI on,
# benchmarks off), runs the whole test suite and prints the line coverage of the code
# outside tests/, bench/ and build/: one total line, then one line per folder.
# Counters from an earlier run are cleared first, so the figure is this run's alone.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup-debian.sh
cmake --preset coverage
cmake --build --preset coverage
find build/coverage -name '*.gcda' -delete
# A failing test still leaves its counters; the figure is printed and the exit status
# tells that the suite did not pass.
status=0
QT_QPA_PLATFORM=offscreen ctest --preset coverage -j2 || status=$?

summary=build/coverage/coverage-summary.json
# CMake's compiler check leaves a counter file without a source: not searched.
gcovr --root . --object-directory build/coverage -j 2 \
    --exclude-directories 'build/coverage/CMakeFiles' \
    --exclude '^tests/' --exclude '^bench/' --exclude '^build/' \
    --json-summary "$summary" >/dev/null
python3 - "$summary" <<'EOF'
import json, sys
# A header included through a library's staging directory (build/<preset>/include/<lib>/...)
# is its own source file: count it once, under its folder, with the better of its entries.
by_source = {}
for f in json.load(open(sys.argv[1]))["files"]:
    name = f["filename"]
    if name.startswith("build/") and "/include/" in name:
        name = name.split("/include/", 1)[1].split("/", 1)[1]
    kept = by_source.get(name)
    if kept is None or f["line_covered"] > kept["line_covered"]:
        by_source[name] = dict(f, filename=name)
files = by_source.values()
folders = {}
for f in files:
    folder = f["filename"].split("/")[0] if "/" in f["filename"] else "."
    total, covered = folders.get(folder, (0, 0))
    folders[folder] = (total + f["line_total"], covered + f["line_covered"])
total = sum(t for t, _ in folders.values())
covered = sum(c for _, c in folders.values())
pct = lambda c, t: 100.0 * c / t if t else 0.0
print(f"line coverage (without tests/, bench/, build/): {pct(covered, total):.1f} % "
      f"({covered} of {total} lines)")
print(f"{'folder':<12}{'lines':>8}{'covered':>9}{'cover':>9}")
for folder in sorted(folders):
    t, c = folders[folder]
    print(f"{folder:<12}{t:>8}{c:>9}{pct(c, t):>8.1f}%")
EOF
exit "$status"
