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
for target in "${targets[@]}"; do
    mkdir -p "build/fuzz/corpus/$target" "tests/fuzz/corpus/$target" build/fuzz/findings
    rm -f "build/fuzz/findings/$target"-*
    echo "fuzz: $target for $seconds s"
    "build/fuzz/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="build/fuzz/findings/$target-" \
        "build/fuzz/corpus/$target" "tests/fuzz/corpus/$target" 2>&1 |
        grep -E "^(stat::number_of_executed_units|==|SUMMARY|INFO: Running|#[0-9]+ *DONE)" || true
    if compgen -G "build/fuzz/findings/$target-*" >/dev/null; then
        echo "fuzz: $target found a fault: $(ls build/fuzz/findings/"$target"-*)" >&2
        exit 1
    fi
done
