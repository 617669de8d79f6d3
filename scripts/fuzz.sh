#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each over its corpus.
#   scripts/fuzz.sh [--runs N] [--jobs J] [--record] [SECONDS] [TARGET...]
# SECONDS per target (30 by default); with --runs, N executions per target instead (a
# campaign), with no time limit unless SECONDS is given too. --jobs: targets at a time
# (2). --record appends each target's result to tests/fuzz/CAMPAIGNS.md.
# Targets: tests/fuzz/*_fuzz.cpp without the suffix (value_text, ini_document, ...).
# tests/fuzz/corpus/<target> is the seed; inputs that reach new code collect in
# build/fuzz/corpus/<target>, which later runs start from; copy the few that matter to the
# seed to keep them. A finding ends the run with exit status 1 and the input saved under
# build/fuzz/findings/ (replay: the target binary with the file as its argument); a
# target's earlier findings are removed when it runs again. At the end each target's
# executions and executions per second are printed.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=0
jobs=2
record=false
while [ $# -gt 0 ]; do
    case $1 in
        --runs) runs=$2; shift 2 ;;
        --jobs) jobs=$2; shift 2 ;;
        --record) record=true; shift ;;
        *) break ;;
    esac
done
seconds=30
if [ "$runs" -gt 0 ]; then
    seconds=0
fi
if [ $# -gt 0 ] && [[ $1 =~ ^[0-9]+$ ]]; then
    seconds=$1
    shift
fi
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

# A number from the final statistics of a target's log, "?" when the run ended without.
stat() {
    grep -o "stat::$2: *[0-9]*" "build/fuzz/$1.log" | grep -o "[0-9]*$" || echo "?"
}

# One target: its corpus, its run, its findings; status 1 when it found something.
run_target() {
    local target=$1
    if [ ! -x "build/fuzz/tests/fuzz/fuzz_$target" ]; then
        echo "fuzz: no target $target (tests/fuzz/${target}_fuzz.cpp)" >&2
        return 1
    fi
    mkdir -p "build/fuzz/corpus/$target" "tests/fuzz/corpus/$target" build/fuzz/findings
    rm -f "build/fuzz/findings/$target"-*
    local start=$SECONDS
    "build/fuzz/tests/fuzz/fuzz_$target" -runs="$((runs > 0 ? runs : -1))" \
        -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="build/fuzz/findings/$target-" \
        "build/fuzz/corpus/$target" "tests/fuzz/corpus/$target" >"build/fuzz/$target.log" 2>&1 || true
    local elapsed=$((SECONDS - start)) result=none status=0
    if compgen -G "build/fuzz/findings/$target-*" >/dev/null; then
        result="FINDING $(ls build/fuzz/findings/"$target"-*)"
        echo "fuzz: $target FOUND A FAULT: $(ls build/fuzz/findings/"$target"-*)" >&2
        grep -E "does not hold|ERROR|SUMMARY" "build/fuzz/$target.log" >&2 || true
        status=1
    fi
    local executions
    executions=$(stat "$target" number_of_executed_units)
    echo "$target $executions $(stat "$target" average_exec_per_sec) $elapsed" >"build/fuzz/$target.result"
    if $record; then
        echo "| $(date -u +%F) | $target | $executions | ${elapsed} s | $result |" >>tests/fuzz/CAMPAIGNS.md
    fi
    return $status
}

status=0
running=0
for target in "${targets[@]}"; do
    if [ "$running" -ge "$jobs" ]; then
        wait -n || status=1
        running=$((running - 1))
    fi
    rm -f "build/fuzz/$target.result"
    run_target "$target" &
    running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
    wait -n || status=1
    running=$((running - 1))
done
printf '%-18s %12s %8s %8s\n' target executions exec/s seconds
for target in "${targets[@]}"; do
    if [ -f "build/fuzz/$target.result" ]; then
        printf '%-18s %12s %8s %8s\n' $(cat "build/fuzz/$target.result")
    fi
done
exit "$status"
