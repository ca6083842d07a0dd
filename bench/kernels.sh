#!/bin/bash
# The kernel benchmarks through the stand-in host: builds build/bench with
# the project's default flags, runs kernels_bench (five repetitions of each
# benchmark, medians kept) and prints the table of BENCHMARKS.md. Extra
# arguments go to kernels_bench, e.g. --benchmark_filter=thetaG11.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/deps.sh"
need cmake make g++ libbenchmark-dev python3
build=$root/build/bench
cmake -S "$root" -B "$build" -DSDPK_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target kernels_bench >/dev/null
"$build/bench/kernels_bench" --benchmark_repetitions=5 \
    --benchmark_report_aggregates_only=true --benchmark_min_time=0.1 \
    --benchmark_out="$build/kernels.json" --benchmark_out_format=json \
    "$@" >"$build/kernels.txt"
python3 "$root/bench/table.py" "$build/kernels.json"
