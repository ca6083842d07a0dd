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
# each problem in an Octave of its own, then printed together
modules=$root/build/octave
. "$root/bench/octave_runs.sh"
each_alone "solve_bench ({'@ITEM@'}, '', '@SAVED@');" \
    "solve_bench ('@SAVED@', '$root/bench/solve_speedups.png');" "$@"
