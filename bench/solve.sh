#!/bin/bash
# solve.sh [NAME...]: sdp_solve on SDPLIB problems (by default every problem
# in the data folder, or in $SDPLIB_DIR) with the modules and with Octave
# expressions, side by side: prints the Markdown table of BENCHMARKS.md and
# draws the speed-ups into bench/solve_speedups.png. Builds the modules with
# Octave's own tool first, and installs what it needs when it is missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/deps.sh"
need g++ make octave octave-dev gnuplot-nox fonts-freefont-otf
"$root/scripts/build-octave.sh" brisset kovalin zandrel
if [ $# -eq 0 ]; then
    for f in "${SDPLIB_DIR:-$root/data}"/*.dat-s; do
        set -- "$@" "$(basename "$f" .dat-s)"
    done
fi
# Each problem in an Octave of its own, then printed together: the host's
# heap after the problems before makes every later call of a module
# dearer, so that a problem's speed-up would follow what ran before it.
run() {
    octave-cli --no-gui --norc --quiet --path "$root/build/octave" --path "$root/sdp_solve" \
        --path "$root/bench" --eval "$1" 2>&1 |
        { grep --line-buffered -v "ignoring const execution_exception" || [ $? -eq 1 ]; }
}
saved=$(mktemp -d)
trap 'rm -rf "$saved"' EXIT
k=0
for name in "$@"; do
    k=$((k + 1))
    run "solve_bench ({'$name'}, '', '$saved/$k.mat');"
done
run "solve_bench ('$saved', '$root/bench/solve_speedups.png');"
