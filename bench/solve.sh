#!/bin/bash
# solve.sh [NAME...]: sdp_solve on SDPLIB problems (by default every problem
# in the data folder, or in $SDPLIB_DIR) with the modules and with Octave
# expressions, side by side: prints the Markdown tables of BENCHMARKS.md
# (the solves, and where an iteration's time goes beside its dense floor)
# and draws the speed-ups into bench/solve_speedups.png. Builds the modules
# with Octave's own tool first, and installs what it needs when it is
# missing. With SDPK_BLAS=reference, Octave runs on Debian's reference
# BLAS and LAPACK in place of the optimised BLAS that the set-up installs.
# With SDPK_KINDS=cheapest, only the default kernels are timed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/deps.sh"
need g++ make octave octave-dev libopenblas0-pthread gnuplot-nox fonts-freefont-otf
"$root/scripts/build-octave.sh" brisset kovalin zandrel sdp_schur blas_threads sdp_chol
# each problem in an Octave of its own, then printed together
modules=$root/build/octave
if [ "${SDPK_BLAS:-}" = reference ]; then
    export LD_LIBRARY_PATH=/usr/lib/x86_64-linux-gnu/blas:/usr/lib/x86_64-linux-gnu/lapack${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}
fi
octave-cli --no-gui --norc --quiet --eval "printf ('BLAS: %s\n', version ('-blas'))" 2>/dev/null || true
. "$root/bench/octave_runs.sh"
[ $# -gt 0 ] || set -- $(sdplib_names)
each_alone "solve_bench ({'@ITEM@'}, '', '@SAVED@');" \
    "solve_bench ('@SAVED@', '$root/bench/solve_speedups.png');" "$@"
