#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each over its corpus.
#   scripts/fuzz.sh [SECONDS] [TARGET...]   30 s per target by default, every target
# Targets: tests/fuzz/*_fuzz.cpp without the suffix (value_text, ini_document, ...).
# Inputs that reach new code collect in build/fuzz/corpus/<target>; copy the few that
# matter to tests/fuzz/corpus/<target> to keep them. A finding ends the run with exit
# status 1 and the input saved under build/fuzz/findings/ (replay: the target binary with
# the file as its argument); a target's earlier findings are removed when it runs again.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
[ $# -gt 0 ] && shift
if ! command -v clang++ >/dev/null; then
    bash scripts/setup-debian.sh
fi
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for source in tests/fuzz/*_fuzz.cpp; do
        name=$(basename "$source" _fuzz.cpp)
        targets+=("$name")
    done
fi
# One target: its corpus, its run, its findings; status 1 when it found something.
run_target() {
    local target=$1
    if [ ! -x "build/fuzz/tests/fuzz/fuzz_$target" ]; then
        echo "fuzz: no target $target (tests/fuzz/${target}_fuzz.cpp)" >&2
        return 1
    fi
    mkdir -p "build/fuzz/corpus/$target" "tests/fuzz/corpus/$target" build/fuzz/findings
    rm -f "build/fuzz/findings/$target"-*
    "build/fuzz/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="build/fuzz/findings/$target-" \
        "build/fuzz/corpus/$target" "tests/fuzz/corpus/$target" >"build/fuzz/$target.log" 2>&1 || true
    local runs
    runs=$(grep -o "number_of_executed_units: [0-9]*" "build/fuzz/$target.log" | grep -o "[0-9]*$" || echo "?")
    if compgen -G "build/fuzz/findings/$target-*" >/dev/null; then
        echo "fuzz: $target FOUND A FAULT after $runs runs: $(ls build/fuzz/findings/"$target"-*)" >&2
        grep -E "does not hold|ERROR|SUMMARY" "build/fuzz/$target.log" >&2 || true
        return 1
    fi
    echo "fuzz: $target: $runs runs in $seconds s, nothing found"
}

# Two targets at a time: one per core of the build machines.
status=0
running=0
for target in "${targets[@]}"; do
    if [ "$running" -ge 2 ]; then
        wait -n || status=1
        running=$((running - 1))
    fi
    run_target "$target" &
    running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
    wait -n || status=1
    running=$((running - 1))
done
exit "$status"
