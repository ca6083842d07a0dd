#!/bin/bash
# pairs.sh [KIND]: a module against its plain loops through the stand-in
# host, one workload at a time, the two interleaved in a random order over
# eleven repetitions, the fastest repetition of each kept. KIND is the
# start of the benchmarks' names, zandrel_entry by default (brisset_row,
# kovalin_sparse, kovalin_dense). Prints a Markdown table and a summary.
#
# Run alone, a workload sees the stand-in host with only its own arrays,
# and the machine's drift spreads over both variants alike: the ratios are
# steadier than those of bench/kernels.sh, whose runs go one after another
# with every workload loaded.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/deps.sh"
need cmake make g++ libbenchmark-dev python3
kind=${1:-zandrel_entry}
build=$root/build/bench
cmake -S "$root" -B "$build" -DSDPK_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target kernels_bench >/dev/null
bin=$build/bench/kernels_bench
workloads=$("$bin" --benchmark_list_tests | grep "^$kind" | cut -d/ -f2 | awk '!seen[$0]++')
for w in $workloads; do
    "$bin" --benchmark_filter="^$kind[^/]*/$w/" --benchmark_repetitions=11 \
        --benchmark_enable_random_interleaving=true --benchmark_min_time=0.03 \
        --benchmark_format=csv 2>/dev/null | grep "^\"$kind"
done | python3 -c '
import csv, sys
best = {}
for row in csv.reader(sys.stdin):
    name, time = row[0], float(row[2])   # name, iterations, real_time
    computation, workload, variant, what = name.split("/")[:4]
    if what != "real_time":   # a mean, median or deviation
        continue
    key = (computation, workload)
    best.setdefault(key, {})
    best[key][variant] = min(time, best[key].get(variant, float("inf")))
print("| computation | workload | plain µs | module µs | speed-up |")
print("|---|---|---:|---:|---:|")
ratios = []
for (computation, workload), t in best.items():
    ratio = t["plain"] / t["module"]
    ratios.append(ratio)
    print("| %s | %s | %.2f | %.2f | %.2f |" % (computation, workload, t["plain"], t["module"], ratio))
ratios.sort()
print()
print("speed-up over the plain loops, %d entries: least %.2f, median %.2f, most %.2f; below 0.97: %d"
      % (len(ratios), ratios[0], ratios[len(ratios) // 2], ratios[-1], sum(r < 0.97 for r in ratios)))
'
