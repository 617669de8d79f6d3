#!/usr/bin/env bash
# Builds the release configuration and runs the benchmarks of the whole client on the
# benchmark plant (180 items, every output on, bench/bench_plant.h): one cycle at one cycle
# a second against the floor program, a plant day in virtual time, a warm restart of the
# real headless client and its memory. Prints the machine and a table of figure, value,
# target and verdict; with --quick (or TARVEDDE_BENCH_QUICK=1) a shorter run of each
# (about two minutes instead of about ten), and without it also the micro benchmarks.
# Exit status 1 when a benchmark could not run; a missed target only shows as FAIL.
set -euo pipefail
cd "$(dirname "$0")/.."
quick=""
if [ "${1:-}" = --quick ] || [ "${TARVEDDE_BENCH_QUICK:-0}" = 1 ]; then
    quick=--quick
fi

bash scripts/setup-debian.sh
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}"
cmake --preset release >/dev/null
cmake --build build/release -j2 --target tarvedde_bench tarvedde_floor \
    tarvedde_plant_cycle_bench tarvedde_plant_day_bench tarvedde_warm_restart_bench

results="$(mktemp)"
trap 'rm -f "$results"' EXIT
status=0
for bench in plant_cycle plant_day warm_restart; do
    echo "== $bench $quick" >&2
    if ! "build/release/bench/tarvedde_${bench}_bench" $quick | tee -a "$results" >&2; then
        echo "RESULT	$bench	did not run	-	FAIL" >>"$results"
        status=1
    fi
done
if [ -z "$quick" ]; then
    build/release/bench/tarvedde_bench --benchmark_min_time=0.2 >&2
fi

echo
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')"
echo "kernel: $(uname -r); compiler: $(c++ --version | head -1)"
echo "load average at the end (1, 5, 15 min): $(cut -d' ' -f1-3 /proc/loadavg)"
echo
{
    printf 'RESULT\tfigure\tvalue\ttarget\tverdict\n'
    grep '^RESULT' "$results"
} | awk -F'\t' '{ printf "%-62s %12s %9s  %s\n", $2, $3, $4, $5 }'
echo
echo "$(grep -c $'\tPASS$' "$results" || true) targets met, $(grep -c $'\tFAIL$' "$results" || true) missed"
exit "$status"
